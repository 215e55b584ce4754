// Skin.h - skin images from the program's PNG resources, the skin's fonts,
// colours and DPI scaling, and the skinned push buttons every window uses.
#pragma once

#include <windows.h>
#include <gdiplus.h>
#include <string>

// ------------------------------------------------------------- images --

enum class SkinImageKind { Png = 0, Bitmap = 1, Icon = 2 };

// Holds at most one decoded image and owns it. The bitmap owns its pixels:
// nothing of the resource, global block or stream it came from stays behind.
class SkinImage {
public:
    SkinImage() = default;
    ~SkinImage() { release(); }
    SkinImage(const SkinImage&) = delete;
    SkinImage& operator=(const SkinImage&) = delete;

    // Releases the current image, then loads resource id of the given kind
    // from AppGlobals.hInstance. Failure leaves the holder empty, quietly.
    void load(int id, SkinImageKind kind);
    void release();
    Gdiplus::Bitmap* image() const { return image_; }

private:
    Gdiplus::Bitmap* image_ = nullptr;
};

// ---------------------------------------------------- fonts and colours --

// The face of every font the skin makes, GDI and GDI+ alike.
extern const std::wstring skinFaceName;

const COLORREF SKIN_HEADER_COLOR = 0xE3EAE9;  // RGB(233, 234, 227), the header band
const COLORREF SKIN_PAGE_WHITE = 0xFFFFFF;

HFONT createSkinFont(int height, int weight, const std::wstring& face);

// ------------------------------------------------------------- scaling --

// trunc(min(dpiX, dpiY) / 96 * 24): the bold title fonts' pixel height.
int titleFontHeightFor(int dpiX, int dpiY);
// LOGPIXELSX of the display / 96; 1.0 when no display context can be made.
float displayDpiScale();
float skinLabelEmSize(float dpiScale);        // dpiScale * 13 + 0.5, not rounded
float skinHelpIconSide(float dpiScale);       // dpiScale * 16
int skinFooterExtraHeight(float dpiScale);    // trunc(dpiScale + 0.5)

// Draws the image stretched over the window's whole client area.
void drawSkinBackground(HWND window, HDC dc, const SkinImage& background);

// ------------------------------------------------------------- buttons --

// The look of one skinned button: exactly one of normal, hover and pressed
// is 1; tracking is nonzero while a mouse-leave notification is requested.
struct SkinButtonLook {
    int normal = 1;
    int hover = 0;
    int pressed = 0;
    int tracking = 0;
};

// One set per window (main window, web site edit dialog). They limit
// repaints to the transitions instead of every mouse move.
struct SkinRepaintFlags {
    int pressStarted = 0;
    int insidePainted = 0;
    int outsidePainted = 0;
    int idle = 1;
};

// What a slot of a window's button set draws.
struct SkinButtonSlot {
    int controlId;
    int normalImage, hoverImage, pressedImage;
    int labelId;            // string of the label; 0 draws the help icon instead
    int imageTop;           // the image rectangle starts this far down (0 or 1)
    bool footerExtraHeight; // the image is skinFooterExtraHeight() taller than the button
    float iconBias;         // help icon x = (w - s + iconBias) / 2
    bool listButton;        // small list button: greyed label while unavailable; on the list page
                            // (no repaint flags) it also ignores the mouse while disabled
};

// What the recipe needs of one button at one message.
struct SkinButtonContext {
    SkinButtonLook* look;
    SkinRepaintFlags* flags;     // null: repaint after every move (list page)
    const SkinButtonSlot* slot;
    int available;               // list buttons: the owner's enable flag
    const SkinImage* helpIcon;   // the owner's kept help icon, for a help slot
};

// The mouse, cursor and paint handling shared by all skinned buttons. Returns
// true and sets *result when it handled the message; WM_LBUTTONUP is left to
// the window's own subclass procedure, which runs the click.
bool handleSkinButtonMessage(HWND button, UINT message, WPARAM wParam, LPARAM lParam,
                             const SkinButtonContext& context, LRESULT* result);

// Whether a mouse message's client point lies on the button (coordinates
// taken as unsigned 16-bit values, so a negative one is outside).
bool isPointInButton(HWND button, LPARAM lParam);

// Paints the button in its current look (BeginPaint/EndPaint inside).
void paintSkinButton(HWND button, const SkinButtonContext& context);
// Renders the button's look into an arbitrary DC of the given client size.
void renderSkinButton(HDC dc, int width, int height, const SkinButtonContext& context);

// Invalidates the whole button, erasing the background.
void repaintButton(HWND button);
