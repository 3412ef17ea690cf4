#include "app/command_line.h"

int main(int argc, char** argv) { return Run_Command_Line(argc, argv); }
