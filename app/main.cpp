// CSpindrel: takes no arguments, always exits with 0.
#include "app/shell.h"

int main(int, char**) { return runProgram(); }
