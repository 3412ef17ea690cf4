// Prints the objects of a binary PGM mask (P5, 8 bits, nonzero = hit), one
// CSV row each, for comparisons with other tools.
// objects_driver MASK.pgm [4|8] [holes]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "analysis/objects.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: objects_driver MASK.pgm [4|8] [holes]\n");
        return 2;
    }
    FILE* f = fopen(argv[1], "rb");
    int w = 0, h = 0, maxval = 0;
    if (!f || fscanf(f, "P5 %d %d %d", &w, &h, &maxval) != 3 || fgetc(f) == EOF || w <= 0 || h <= 0) {
        fprintf(stderr, "%s: not a binary PGM\n", argv[1]);
        return 1;
    }
    std::vector<uint8_t> mask((size_t)w * h);
    const bool complete = fread(mask.data(), 1, mask.size(), f) == mask.size();
    fclose(f);
    if (!complete) {
        fprintf(stderr, "%s: short file\n", argv[1]);
        return 1;
    }
    Object_Options options;
    if (argc > 2) options.Connectivity = atoi(argv[2]);
    options.Include_Holes = argc > 3 && strcmp(argv[3], "holes") == 0;
    Object_Work work;
    std::vector<Object_Measures> objects;
    if (Measure_Objects(mask.data(), w, h, options, &work, &objects) != OBJECTS_OK) return 1;
    printf("area,min_x,min_y,max_x,max_y,cx,cy,perimeter,circularity,feret,feret_angle,feret_min,major,minor,"
           "ellipse_angle\n");
    for (const Object_Measures& m : objects)
        printf("%lld,%d,%d,%d,%d,%.9f,%.9f,%.9f,%.9f,%.9f,%.9f,%.9f,%.9f,%.9f,%.9f\n", (long long)m.Area, m.Min_X,
               m.Min_Y, m.Max_X, m.Max_Y, m.Centroid_X, m.Centroid_Y, m.Perimeter, m.Circularity, m.Feret,
               m.Feret_Angle, m.Feret_Min, m.Major, m.Minor, m.Ellipse_Angle);
    return 0;
}
