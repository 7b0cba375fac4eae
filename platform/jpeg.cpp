// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/jpeg.h"

#include <csetjmp>
#include <cstdlib>

// jpeglib.h uses FILE without declaring it.
// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

namespace platform {
namespace {

// Progressive files can hold any number of scans, each a full pass over the picture; our
// pictures are baseline, so a few hundred is already far beyond anything legitimate.
constexpr int kMaxScans = 500;

struct ErrorManager {
    jpeg_error_mgr standard;  // first, so libjpeg's pointer to it is a pointer to us
    std::jmp_buf escape;
    int warnings;
};

[[noreturn]] void escapeOnError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->escape, 1);
}

// Level -1 is a warning about corrupt data; other levels are trace output. Nothing is
// printed: the program keeps no log.
void countWarnings(j_common_ptr info, int level) {
    if (level < 0) ++reinterpret_cast<ErrorManager*>(info->err)->warnings;
}

void stopRunawayScans(j_common_ptr info) {
    if (!info->is_decompressor) return;
    auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
    if (decompress->progressive_mode && decompress->input_scan_number > kMaxScans)
        escapeOnError(info);
}

struct RawPicture {
    int width;
    int height;
    unsigned char* pixels;  // malloc'd, width * height * 3 bytes
};

// Every frame between setjmp and a longjmp out of libjpeg is C or holds only trivially
// destructible locals, so leaving by longjmp skips no destructor. `pixels` is volatile
// because it changes after setjmp and is read after the jump.
bool decodeRaw(const unsigned char* file, std::size_t size, RawPicture* out) {
    jpeg_decompress_struct info;
    ErrorManager errors;
    jpeg_progress_mgr progress;
    unsigned char* volatile pixels = nullptr;

    info.err = jpeg_std_error(&errors.standard);
    errors.standard.error_exit = escapeOnError;
    errors.standard.emit_message = countWarnings;
    errors.warnings = 0;
    if (setjmp(errors.escape) != 0) {
        std::free(pixels);
        jpeg_destroy_decompress(&info);
        return false;
    }

    jpeg_create_decompress(&info);
    progress.progress_monitor = stopRunawayScans;
    info.progress = &progress;
    jpeg_mem_src(&info, file, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    if (info.image_width > static_cast<JDIMENSION>(kMaxJpegSide) ||
        info.image_height > static_cast<JDIMENSION>(kMaxJpegSide)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    if (info.output_components != 3) {
        jpeg_destroy_decompress(&info);
        return false;
    }

    const std::size_t stride = static_cast<std::size_t>(info.output_width) * 3;
    pixels = static_cast<unsigned char*>(std::malloc(stride * info.output_height));
    if (pixels == nullptr) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = pixels + stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);

    if (errors.warnings > 0) {
        std::free(pixels);
        return false;
    }
    out->width = static_cast<int>(info.output_width);
    out->height = static_cast<int>(info.output_height);
    out->pixels = pixels;
    return true;
}

}  // namespace

RgbImage decodeJpeg(std::span<const unsigned char> file) {
    RgbImage image;
    // libjpeg's memory source takes an unsigned long length and refuses an empty buffer.
    if (file.empty() || file.size() > 0xFFFF'FFFFu) return image;
    RawPicture raw{};
    if (!decodeRaw(file.data(), file.size(), &raw)) return image;
    const std::size_t bytes = static_cast<std::size_t>(raw.width) * raw.height * 3;
    image.pixels.assign(raw.pixels, raw.pixels + bytes);
    std::free(raw.pixels);
    image.width = raw.width;
    image.height = raw.height;
    return image;
}

PictureSize proportionalFit(PictureSize picture, PictureSize box) {
    if (picture.width <= 0 || picture.height <= 0 || box.width <= 0 || box.height <= 0) return {};
    if (picture.width <= box.width && picture.height <= box.height) return picture;
    // Compare the two scale factors by cross-multiplying, in 64 bits, to stay exact.
    const auto pw = static_cast<std::int64_t>(picture.width);
    const auto ph = static_cast<std::int64_t>(picture.height);
    if (pw * box.height > ph * box.width) return {box.width, static_cast<int>(ph * box.width / pw)};
    return {static_cast<int>(pw * box.height / ph), box.height};
}

}  // namespace platform
