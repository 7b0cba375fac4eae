// The memory status monitor on "RAM Info" and "RUN" on " RAM Benchmark  ".
#include "app/tform1.h"

void TForm1::Timer2Timer() {}
void TForm1::Button3Click() {}
