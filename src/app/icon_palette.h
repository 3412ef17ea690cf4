// The icon palette shared by the icons drawn at start-up and the stored icons
// made at build time: light-grey bodies, mid-grey outlines (they read on light
// and dark button faces alike) and a red accent for what a tool measures.
#pragma once

#include <cairo.h>

inline void Set_Rgb(cairo_t* cr, int r, int g, int b) { cairo_set_source_rgb(cr, r / 255.0, g / 255.0, b / 255.0); }
inline void Light(cairo_t* cr) { Set_Rgb(cr, 220, 221, 225); }
inline void Mid_Dark(cairo_t* cr) { Set_Rgb(cr, 160, 160, 160); }
inline void Mid_Light(cairo_t* cr) { Set_Rgb(cr, 180, 180, 180); }
inline void Accent(cairo_t* cr) { Set_Rgb(cr, 200, 105, 100); }
