#include "pchost/front/window.h"

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include <SDL.h>
#include <cairo.h>

#include "pchost/front/session.h"
#include "pchost/paint/cairopainter.h"
#include "pchost/paint/legend.h"

namespace pchost {

namespace {

const int legendHeight = 28;

SDL_Window* desktopWindow = nullptr;  // set while the front end is open

std::optional<Key> remoteKey(SDL_Keycode code)
{
    switch (code) {
    case SDLK_UP: return Key::Up;
    case SDLK_DOWN: return Key::Down;
    case SDLK_LEFT: return Key::Left;
    case SDLK_RIGHT: return Key::Right;
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return Key::Ok;
    case SDLK_ESCAPE: return Key::Exit;
    case SDLK_F1: return Key::Red;
    case SDLK_F2: return Key::Green;
    case SDLK_F3: return Key::Yellow;
    case SDLK_F4: return Key::Blue;
    default: break;
    }
    if (code >= SDLK_0 && code <= SDLK_9)
        return static_cast<Key>(static_cast<int>(Key::Digit0) + code - SDLK_0);
    return std::nullopt;
}

// While an input field is edited, typed characters arrive as text and
// Backspace deletes (the field deletes on left); digits then are text too.
std::optional<KeyPress> translate(const SDL_Event& event, bool editing)
{
    if (event.type == SDL_TEXTINPUT && editing)
        return KeyPress{Key::Text, event.text.text};
    if (event.type != SDL_KEYDOWN)
        return std::nullopt;
    SDL_Keycode code = event.key.keysym.sym;
    if (editing && code == SDLK_BACKSPACE)
        return KeyPress{Key::Left, ""};
    if (editing && code >= SDLK_0 && code <= SDLK_9)
        return std::nullopt;
    if (std::optional<Key> key = remoteKey(code))
        return KeyPress{*key, ""};
    return std::nullopt;
}

void blit(cairo_surface_t* surface, SDL_Surface* target, int top)
{
    SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(cairo_image_surface_get_data(surface),
        cairo_image_surface_get_width(surface), cairo_image_surface_get_height(surface), 32,
        cairo_image_surface_get_stride(surface), SDL_PIXELFORMAT_RGB888);
    if (!source)
        return;  // the window stays as it was; the next key paints again
    SDL_Rect at{0, top, 0, 0};
    SDL_BlitSurface(source, nullptr, target, &at);
    SDL_FreeSurface(source);
}

// Paints PAINTER into a fresh image of WIDTH x HEIGHT and shows it at TOP.
template <class Painter>
void show(SDL_Surface* target, int top, int height, Painter painter)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, screenWidth, height);
    cairo_t* cr = cairo_create(surface);
    painter(cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    blit(surface, target, top);
    cairo_surface_destroy(surface);
}

void present()
{
    SDL_Surface* target = desktopWindow ? SDL_GetWindowSurface(desktopWindow) : nullptr;
    if (!target)
        return;
    show(target, 0, screenHeight, [](cairo_t* cr) { paintScene(cr, buildScene()); });
    show(target, screenHeight, legendHeight,
        [](cairo_t* cr) { paintLegend(cr, {0, 0, screenWidth, legendHeight}, keyLegend()); });
    SDL_UpdateWindowSurface(desktopWindow);
}

// Keys from the window; the screen is painted before every wait and every
// shell command. Keys typed while a command blocked were typed at a screen
// that has changed since: they are dropped once it is shown.
class WindowKeys : public KeySource {
public:
    KeyPress nextKey() override
    {
        while (desktopWindow && !closed) {
            present();
            if (commandRan) {
                SDL_PumpEvents();
                SDL_FlushEvents(SDL_KEYDOWN, SDL_TEXTINPUT);
            }
            commandRan = false;
            SDL_Event event;
            if (!SDL_WaitEvent(&event))
                break;
            if (event.type == SDL_QUIT)
                close();
            else if (std::optional<KeyPress> press = translate(event, editingText()))
                return *press;
        }
        return dry.next();
    }

    void beforeBlocking() override
    {
        if (closed)
            return;
        present();
        SDL_PumpEvents();  // a window that takes no events for long looks hung to the desktop
        commandRan = true;
    }

private:
    // Gone from the desktop at once, while the plug-in winds down.
    void close()
    {
        closed = true;
        SDL_HideWindow(desktopWindow);
    }

    bool commandRan = false;  // since the last key was read
    bool closed = false;
    DryExits dry;
};

} // namespace

WindowFrontEnd::WindowFrontEnd()
{
    // A desktop's window or none: SDL would otherwise fall back to a window
    // that nobody sees. SDL_VIDEODRIVER in the environment still wins.
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11,wayland");
    if (SDL_Init(SDL_INIT_VIDEO) != 0)
        throw std::runtime_error(std::string("cannot open a window (no display?): ") +
            SDL_GetError());
    desktopWindow = SDL_CreateWindow("nimbrel-host", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
        screenWidth, screenHeight + legendHeight, 0);
    if (!desktopWindow) {
        std::string error = SDL_GetError();
        SDL_Quit();
        throw std::runtime_error("cannot open a window: " + error);
    }
    SDL_StartTextInput();
    setKeySource(std::make_unique<WindowKeys>());
}

WindowFrontEnd::~WindowFrontEnd()
{
    SDL_DestroyWindow(desktopWindow);
    desktopWindow = nullptr;
    SDL_Quit();
}

} // namespace pchost
