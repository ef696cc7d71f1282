// reloj-xshot FILE [LEFT TOP RIGHT BOTTOM]: saves the screen of $DISPLAY, or part of it, as PNG.
#include "x_harness.h"

#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 2 && argc != 6) {
        std::fputs("uso: reloj-xshot ARCHIVO.png [IZQUIERDA ARRIBA DERECHA ABAJO]\n", stderr);
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fputs("reloj-xshot: no se puede abrir la pantalla\n", stderr);
        return 1;
    }
    std::optional<reloj::e2e::Rect> area;
    if (argc == 6) {
        area = reloj::e2e::Rect{std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]),
                                std::atoi(argv[5])};
    }
    const bool saved = reloj::e2e::SaveScreen(display, argv[1], area);
    XCloseDisplay(display);
    if (!saved) {
        std::fputs("reloj-xshot: no se pudo guardar la imagen\n", stderr);
    }
    return saved ? 0 : 1;
}
