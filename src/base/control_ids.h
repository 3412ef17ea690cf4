// Forwarding header, removed once video names no control.
#include "app/control_ids.h"
