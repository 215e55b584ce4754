// Skin.h - skin images from the program's PNG resources, the skin's fonts,
// colours and DPI scaling, and the skinned push buttons every window uses.
#pragma once

#include <windows.h>
#include <gdiplus.h>
#include <string>

// ------------------------------------------------------------- images --

enum class SkinImageKind { Png = 0, Bitmap = 1, Icon = 2 };

// Holds at most one decoded image and owns it. A PNG's bitmap may go on
// reading the stream it was made from, so the holder keeps that stream (and
// the copy of the resource it reads) until the image goes.
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
    IStream* stream_ = nullptr;
};

// ---------------------------------------------------- fonts and colours --

// The face of every font the skin makes, GDI and GDI+ alike.
extern const std::wstring skinFaceName;

// The header band of the background pictures 501 and 505, RGB(233, 234, 227):
// the title labels lie on it and take its colour as their background.
const COLORREF SKIN_HEADER_COLOR = 0xE3EAE9;
// The pictures' white body; the settings page's static controls lie on it.
const COLORREF SKIN_PAGE_WHITE = 0xFFFFFF;
// Button labels, ARGB: black, and a light grey that still reads on the small
// buttons' near-white face for a button that is unavailable.
const Gdiplus::ARGB SKIN_LABEL_COLOR = 0xFF000000;
const Gdiplus::ARGB SKIN_UNAVAILABLE_LABEL_COLOR = 0xFFBCBCBC;

HFONT createSkinFont(int height, int weight, const std::wstring& face);

// ------------------------------------------------------- high contrast --
//
// Under a high-contrast theme the skin steps aside: every window draws with
// the theme's colours (GetSysColor) instead of the skin's pictures and
// colours. Windows ask at every paint, so a theme switched while the tool
// runs shows as soon as the main window has passed the change on.

// Whether Windows runs with a high-contrast theme (SPI_GETHIGHCONTRAST).
bool highContrastOn();

// The answer highContrastOn gives instead of asking Windows. For the tests
// and the demo's twin of the program only: Wine cannot switch the theme
// (SPI_SETHIGHCONTRAST fails and the query always says off), so they drive
// the drawing through this answer and the colours they set with
// SetSysColors. The shipped program never calls it.
enum class HighContrastAnswer { AskWindows, On, Off };
void overrideHighContrast(HighContrastAnswer answer);

// The areas of the background the controls lie on.
enum class SkinArea { HeaderBand, Body };
// Gives the DC of a control that lies on the area the area's background
// colour and, under a high-contrast theme, the theme's text colour; returns
// the background colour, for the brush.
COLORREF colourSkinControl(HDC dc, SkinArea area);
// The brush of a control on the body that nobody owns: the stock white one,
// or the theme's window colour brush.
HBRUSH skinBodyBrush();

// WM_SYSCOLORCHANGE and WM_SETTINGCHANGE reach the top-level windows only:
// the main window passes them on to every child of every window of the
// thread (list views and the tab control keep colours of their own) and
// repaints them all.
void passSystemChangeOn(UINT message, WPARAM wParam, LPARAM lParam);

// ------------------------------------------------------------- scaling --

// The bold title fonts' pixel height at 96 DPI, sized for the 76-pixel header
// band their labels sit on.
const int TITLE_FONT_HEIGHT_AT_96_DPI = 24;

// trunc(min(dpiX, dpiY) / 96 * 24): the bold title fonts' pixel height.
int titleFontHeightFor(int dpiX, int dpiY);
// LOGPIXELSX of the display / 96; 1.0 when no display context can be made.
float displayDpiScale();
float skinLabelEmSize(float dpiScale);        // dpiScale * 13 + 0.5, not rounded
float skinHelpIconSide(float dpiScale);       // dpiScale * 16
int skinFooterExtraHeight(float dpiScale);    // trunc(dpiScale + 0.5)

// Draws the image stretched over the window's whole client area; under a
// high-contrast theme, the picture's bands in the theme's colours instead.
void drawSkinBackground(HWND window, HDC dc, const SkinImage& background);

// ------------------------------------------------------------- buttons --
//
// Every push button of the tool is a standard button from a dialog template
// that its window subclasses with SkinButtonProc, the button's slot as the
// subclass ID and the description of its set (SkinButtonSet) as the reference
// data. From then on the button is drawn from the skin images and follows the
// mouse itself. A press and a release inside the button is a click: the
// button sends its parent the WM_COMMAND (BN_CLICKED) the standard button
// would send, and the owner's dialog procedure runs the action. With the
// keyboard focus it draws a focus rectangle and is pressed by Space, Enter
// or its access key. Its label is its window text too, so that the dialog
// manager finds the access key and assistive technology reads the name.

// The look of one skinned button: exactly one of normal, hover and pressed
// is 1; tracking is nonzero while a mouse-leave notification is requested.
struct SkinButtonLook {
    int normal = 1;
    int hover = 0;
    int pressed = 0;
    int tracking = 0;
    bool spaceHeld = false;  // pressed with Space: a click when it is let go
};

// One set per window. They limit repaints to the transitions (into hover or
// pressed, out to normal, after a press or a leave) instead of every move.
struct SkinRepaintFlags {
    int pressStarted = 0;   // a press happened since the pointer last left a button
    int insidePainted = 0;  // hover or pressed repainted since the last press or leave
    int outsidePainted = 0; // normal repainted since the last press, or the pointer left
    int idle = 1;           // no press since the pointer last left a button
};

// What one button of a set draws.
struct SkinButtonSlot {
    int controlId;
    int normalImage, hoverImage, pressedImage;
    int labelId;              // string of the label, "&" before its access key; 0 draws the help icon instead
    int imageTop;             // the image rectangle starts this far down (0 or 1)
    bool footerExtraHeight;   // the image is skinFooterExtraHeight() taller than the button
    float iconBias;           // help icon x = (w - s + iconBias) / 2
    bool greyWhenUnavailable; // a list button: grey label while its owner marks it unavailable
};

const int SKIN_MAX_BUTTONS = 5;

// The buttons of one window as its state object keeps them, slot by slot.
struct SkinButtonGroup {
    SkinButtonGroup() = default;
    SkinButtonGroup(const SkinButtonGroup&) = delete;
    SkinButtonGroup& operator=(const SkinButtonGroup&) = delete;

    // Enables or disables the slot's button together with its availability,
    // which the painter reads: it never asks the window.
    void setAvailable(int slot, bool enabled);
    // Every button shows its normal look again; tracking stays, nothing is repainted.
    void showAllNormal();
    // A list's open and remove buttons follow the number of selected rows:
    // open for exactly one, remove for any. Buttons that stay as they are
    // are left alone, so that thousands of rows changing at once stay cheap.
    void followSelectedRows(int openSlot, int removeSlot, int selected);

    HWND windows[SKIN_MAX_BUTTONS] = {};
    SkinButtonLook looks[SKIN_MAX_BUTTONS];
    int available[SKIN_MAX_BUTTONS] = {1, 1, 1, 1, 1};
    SkinRepaintFlags repaint;  // used by sets that repaint at the transitions only
    SkinImage helpIcon;        // image 512, kept for a set with a help button

    // The picture of a look, decoded at its first paint and kept: hover and
    // press repaint a button often. Null when it does not decode.
    Gdiplus::Bitmap* faceImage(int id) const;

private:
    struct Face {
        int id = 0;
        SkinImage image;
    };
    // Two sizes of buttons, three looks each.
    mutable Face faces_[6];
};

// What differs between the sets of skinned buttons. SkinButtonProc gets it
// as its reference data, so it is static data that outlives the buttons.
struct SkinButtonSet {
    const SkinButtonSlot* slots;
    int count;
    // The owner's buttons, or null while the owner has no state object.
    SkinButtonGroup* (*group)();
    // Repaint after every mouse move instead of at the transitions.
    bool repaintEveryMove;
    // A disabled button ignores the mouse (no look, tracking or capture
    // change, no click) and shows the arrow cursor.
    bool disabledIgnoresMouse;
};

// Takes the set's buttons of the owner window into the group, subclasses
// them and, when the set has a help button, loads the help icon.
void attachSkinButtons(HWND owner, const SkinButtonSet& set, SkinButtonGroup& group);

// The subclass procedure of every skinned button (subclass ID: the slot;
// reference data: the SkinButtonSet).
LRESULT CALLBACK SkinButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR slot,
                                DWORD_PTR set);

// The keyboard cues a button shows, as the window's UI state says: Windows
// hides them until the keyboard is used.
struct SkinButtonCues {
    bool focusRect = false;   // the button has the focus and focus cues are shown
    bool accessKeys = false;  // access keys are underlined
};

// Draws slot index of the group in its current look into a DC of the
// button's client size.
void renderSkinButton(HDC dc, int width, int height, const SkinButtonSlot& slot, const SkinButtonGroup& group,
                      int index, SkinButtonCues cues = SkinButtonCues());
