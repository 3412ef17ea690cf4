#include "video/camera_list.h"

#include <cstdio>

// Not built yet: the camera component comes with its own change.
int List_Cameras_Command() {
    fprintf(stderr, "trellum: --list-cameras is not available in this build\n");
    return 1;
}
