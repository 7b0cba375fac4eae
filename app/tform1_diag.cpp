// The CPU stability test and the memory test on "    Diagnostic    ".
#include "app/tform1.h"

void TForm1::Button5Click() {}
void TForm1::Button7Click() {}
void TForm1::Button8Click() {}
void TForm1::Button9Click() {}
