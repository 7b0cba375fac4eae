// "RUN" on "CPU Benchmark ".
#include "app/tform1.h"

void TForm1::Button1Click() {}
