// The cameras this machine offers, for the command line and the source dialog.
#pragma once

// --list-cameras: one device per line on stdout; returns the exit code.
int List_Cameras_Command();
