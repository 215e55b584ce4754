#include "Skin.h"

#include <objidl.h>
#include <commctrl.h>
#include <cstring>
#include "AppGlobals.h"
#include "FPGlobal.h"
#include "resource.h"

const std::wstring skinFaceName = L"MS Shell Dlg";

// ------------------------------------------------------------- images --

// Decodes PNG resource id from a stream over a copy of its bytes; the
// stream frees the copy when its last reference goes. A copy of the decoded
// pixels would cost more than the stream they may be read from again.
static Gdiplus::Bitmap* decodePngResource(int id, IStream** stream)
{
    HRSRC resource = FindResourceW(AppGlobals.hInstance, MAKEINTRESOURCEW(id), L"PNG");
    if (!resource)
        return nullptr;
    DWORD size = SizeofResource(AppGlobals.hInstance, resource);
    if (size == 0)
        return nullptr;
    HGLOBAL loaded = LoadResource(AppGlobals.hInstance, resource);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes)
        return nullptr;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);  // as CreateStreamOnHGlobal wants it
    void* blockBytes = block ? GlobalLock(block) : nullptr;
    if (!blockBytes) {
        if (block)
            GlobalFree(block);
        return nullptr;
    }
    memcpy(blockBytes, bytes, size);
    GlobalUnlock(block);
    if (FAILED(CreateStreamOnHGlobal(block, TRUE, stream))) {
        GlobalFree(block);
        return nullptr;
    }
    Gdiplus::Bitmap* decoded = Gdiplus::Bitmap::FromStream(*stream, FALSE);
    if (decoded && decoded->GetLastStatus() == Gdiplus::Ok)
        return decoded;
    delete decoded;
    (*stream)->Release();
    *stream = nullptr;
    return nullptr;
}

void SkinImage::load(int id, SkinImageKind kind)
{
    release();
    Gdiplus::Bitmap* bitmap = nullptr;
    switch (kind) {
    case SkinImageKind::Png:
        bitmap = decodePngResource(id, &stream_);
        break;
    case SkinImageKind::Bitmap:
        if (HBITMAP handle = LoadBitmapW(AppGlobals.hInstance, MAKEINTRESOURCEW(id))) {
            bitmap = Gdiplus::Bitmap::FromHBITMAP(handle, nullptr);
            DeleteObject(handle);
        }
        break;
    case SkinImageKind::Icon:
        if (HICON icon = LoadIconW(AppGlobals.hInstance, MAKEINTRESOURCEW(id)))
            bitmap = Gdiplus::Bitmap::FromHICON(icon);
        break;
    }
    if (bitmap && bitmap->GetLastStatus() != Gdiplus::Ok) {
        delete bitmap;
        bitmap = nullptr;
    }
    image_ = bitmap;
}

void SkinImage::release()
{
    delete image_;
    image_ = nullptr;
    if (stream_)
        stream_->Release();
    stream_ = nullptr;
}

// ---------------------------------------------------- fonts and scaling --

HFONT createSkinFont(int height, int weight, const std::wstring& face)
{
    return CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS | DEFAULT_PITCH, face.c_str());
}

int titleFontHeightFor(int dpiX, int dpiY)
{
    int smaller = dpiX < dpiY ? dpiX : dpiY;
    return static_cast<int>(smaller / 96.0 * TITLE_FONT_HEIGHT_AT_96_DPI);
}

float displayDpiScale()
{
    HDC display = CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr);
    if (!display)
        return 1.0f;
    float scale = static_cast<float>(GetDeviceCaps(display, LOGPIXELSX) / 96.0);
    DeleteDC(display);
    return scale;
}

// Sizes at 96 DPI: the labels' 13 pixels (and half a pixel, kept unrounded)
// suit the 21-pixel button pictures; the help icon is drawn at 16 of its 20
// pixels, so that it sits inside the help buttons' border.
static const float LABEL_EM_AT_96_DPI = 13.0f;
static const float HELP_ICON_SIDE_AT_96_DPI = 16.0f;

float skinLabelEmSize(float dpiScale) { return dpiScale * LABEL_EM_AT_96_DPI + 0.5f; }
float skinHelpIconSide(float dpiScale) { return dpiScale * HELP_ICON_SIDE_AT_96_DPI; }
int skinFooterExtraHeight(float dpiScale) { return static_cast<int>(dpiScale + 0.5f); }

// ------------------------------------------------------- high contrast --

static HighContrastAnswer contrastAnswer = HighContrastAnswer::AskWindows;

bool highContrastOn()
{
    if (contrastAnswer != HighContrastAnswer::AskWindows)
        return contrastAnswer == HighContrastAnswer::On;
    HIGHCONTRASTW contrast = {sizeof contrast};
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON);
}

void overrideHighContrast(HighContrastAnswer answer) { contrastAnswer = answer; }

// Fills or frames with the DC's own brush, which nobody has to free; the DC
// keeps the brush colour it had.
static void paintWithColour(HDC dc, const RECT& rect, COLORREF colour, int(WINAPI* paint)(HDC, const RECT*, HBRUSH))
{
    const COLORREF previous = SetDCBrushColor(dc, colour);
    paint(dc, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    SetDCBrushColor(dc, previous);
}

static void fillWithColour(HDC dc, const RECT& rect, COLORREF colour) { paintWithColour(dc, rect, colour, FillRect); }
static void frameWithColour(HDC dc, const RECT& rect, COLORREF colour) { paintWithColour(dc, rect, colour, FrameRect); }

COLORREF colourSkinControl(HDC dc, SkinArea area)
{
    const bool contrast = highContrastOn();
    const bool band = area == SkinArea::HeaderBand;
    const COLORREF background = !contrast ? (band ? SKIN_HEADER_COLOR : SKIN_PAGE_WHITE)
                                          : GetSysColor(band ? COLOR_BTNFACE : COLOR_WINDOW);
    SetBkColor(dc, background);
    if (contrast)
        SetTextColor(dc, GetSysColor(band ? COLOR_BTNTEXT : COLOR_WINDOWTEXT));
    return background;
}

HBRUSH skinBodyBrush()
{
    return highContrastOn() ? GetSysColorBrush(COLOR_WINDOW) : static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
}

// A list view keeps the colours it was made with, the system's of that
// moment: it is given the system's window colours again.
static void giveListSystemColours(HWND window)
{
    const int CLASS_NAME_CHARS = 32;  // longer than any common control's class name
    wchar_t name[CLASS_NAME_CHARS] = {};
    GetClassNameW(window, name, CLASS_NAME_CHARS);
    if (lstrcmpiW(name, WC_LISTVIEWW) != 0)
        return;
    ListView_SetBkColor(window, GetSysColor(COLOR_WINDOW));
    ListView_SetTextBkColor(window, GetSysColor(COLOR_WINDOW));
    ListView_SetTextColor(window, GetSysColor(COLOR_WINDOWTEXT));
}

static BOOL CALLBACK passOnToWindow(HWND window, LPARAM message)
{
    const MSG& change = *reinterpret_cast<const MSG*>(message);
    SendMessageW(window, change.message, change.wParam, change.lParam);
    giveListSystemColours(window);
    return TRUE;
}

static BOOL CALLBACK passOnAndRepaint(HWND topLevel, LPARAM message)
{
    EnumChildWindows(topLevel, passOnToWindow, message);
    RedrawWindow(topLevel, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    return TRUE;
}

void passSystemChangeOn(UINT message, WPARAM wParam, LPARAM lParam)
{
    MSG change = {};
    change.message = message;
    change.wParam = wParam;
    change.lParam = lParam;
    EnumThreadWindows(GetCurrentThreadId(), passOnAndRepaint, reinterpret_cast<LPARAM>(&change));
}

// Rows of the 419-pixel high background pictures where the header band ends
// and the footer band begins: the grey lines between them and the body.
static const int BACKGROUND_HEIGHT = 419;
static const int HEADER_END_ROW = 95;
static const int FOOTER_START_ROW = 376;

// The pictures' layout in the theme's colours: the bands in the button face
// colour, the body in the window colour, the lines between in the text colour.
static void drawContrastBackground(HDC dc, const RECT& client)
{
    const int height = client.bottom - client.top;
    const int headerEnd = HEADER_END_ROW * height / BACKGROUND_HEIGHT;
    const int footerStart = FOOTER_START_ROW * height / BACKGROUND_HEIGHT;
    const COLORREF face = GetSysColor(COLOR_BTNFACE), line = GetSysColor(COLOR_WINDOWTEXT);
    fillWithColour(dc, {client.left, client.top, client.right, headerEnd}, face);
    fillWithColour(dc, {client.left, headerEnd, client.right, headerEnd + 1}, line);
    fillWithColour(dc, {client.left, headerEnd + 1, client.right, footerStart}, GetSysColor(COLOR_WINDOW));
    fillWithColour(dc, {client.left, footerStart, client.right, footerStart + 1}, line);
    fillWithColour(dc, {client.left, footerStart + 1, client.right, client.bottom}, face);
}

void drawSkinBackground(HWND window, HDC dc, const SkinImage& background)
{
    RECT client;
    GetClientRect(window, &client);
    if (highContrastOn()) {
        drawContrastBackground(dc, client);
        return;
    }
    Gdiplus::Graphics graphics(dc);
    if (background.image())
        graphics.DrawImage(background.image(), Gdiplus::Rect(0, 0, client.right - client.left,
                                                             client.bottom - client.top));
}

// ------------------------------------------------------------- buttons --

void SkinButtonGroup::setAvailable(int slot, bool enabled)
{
    EnableWindow(windows[slot], enabled ? TRUE : FALSE);
    available[slot] = enabled ? 1 : 0;
}

void SkinButtonGroup::showAllNormal()
{
    for (SkinButtonLook& look : looks) {
        look.normal = 1;
        look.hover = 0;
        look.pressed = 0;
    }
}

Gdiplus::Bitmap* SkinButtonGroup::faceImage(int id) const
{
    Face* slot = &faces_[sizeof faces_ / sizeof faces_[0] - 1];  // loaded anew when all are taken
    for (Face& face : faces_) {
        if (face.id == id)
            return face.image.image();
        if (face.id == 0) {
            slot = &face;
            break;
        }
    }
    slot->id = id;
    slot->image.load(id, SkinImageKind::Png);
    return slot->image.image();
}

void SkinButtonGroup::followSelectedRows(int openSlot, int removeSlot, int selected)
{
    const int wanted[] = {selected == 1, selected >= 1};
    const int slots[] = {openSlot, removeSlot};
    for (int i = 0; i < 2; ++i) {
        if (available[slots[i]] == wanted[i])
            continue;
        setAvailable(slots[i], wanted[i] != 0);
        InvalidateRect(windows[slots[i]], nullptr, TRUE);
    }
}

void attachSkinButtons(HWND owner, const SkinButtonSet& set, SkinButtonGroup& group)
{
    for (int slot = 0; slot < set.count; ++slot) {
        const int labelId = set.slots[slot].labelId;
        group.windows[slot] = GetDlgItem(owner, set.slots[slot].controlId);
        SetWindowSubclass(group.windows[slot], SkinButtonProc, slot, reinterpret_cast<DWORD_PTR>(&set));
        // A help button draws the icon and is named by the word.
        SetWindowTextW(group.windows[slot], loadResString(labelId ? labelId : IDS_BUTTON_HELP).c_str());
        if (labelId == 0)
            group.helpIcon.load(IDP_HELP_ICON, SkinImageKind::Png);
    }
}

// Invalidates the whole button, erasing the background.
static void repaintButton(HWND button)
{
    RECT client;
    GetClientRect(button, &client);
    InvalidateRect(button, &client, TRUE);
}

// Whether a mouse message's client point lies on the button. The coordinates
// are taken as unsigned 16-bit values, so a point left of or above the button
// (while it holds the capture) counts as outside, as any other outside point.
static bool isPointInButton(HWND button, LPARAM lParam)
{
    RECT client;
    GetClientRect(button, &client);
    POINT point = {static_cast<LONG>(LOWORD(lParam)), static_cast<LONG>(HIWORD(lParam))};
    return PtInRect(&client, point) != FALSE;
}

static void setLook(SkinButtonLook& look, int normal, int hover, int pressed)
{
    look.normal = normal;
    look.hover = hover;
    look.pressed = pressed;
}

// flags is null for a set that repaints after every move.
static void onSkinMouseMove(HWND button, LPARAM lParam, SkinButtonLook& look, SkinRepaintFlags* flags)
{
    if (look.tracking == 0) {
        TRACKMOUSEEVENT track = {sizeof track, TME_HOVER | TME_LEAVE, button, 1};
        look.tracking = TrackMouseEvent(&track);
    }
    if (!isPointInButton(button, lParam)) {
        setLook(look, 1, 0, 0);
        if (!flags) {
            repaintButton(button);
        } else if (flags->idle != 1 && flags->outsidePainted == 0) {
            repaintButton(button);
            flags->outsidePainted = 1;
        }
        return;
    }
    if (GetCapture() != button) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        setLook(look, 0, 1, 0);
    } else {
        setLook(look, 0, 0, 1);
        if (flags && flags->pressStarted != 1)
            repaintButton(button);
        if (flags && flags->outsidePainted == 1) {
            repaintButton(button);
            flags->outsidePainted = 0;
        }
    }
    if (!flags) {
        repaintButton(button);
    } else if (flags->insidePainted != 1) {
        repaintButton(button);
        flags->insidePainted = 1;
    }
}

static void onSkinButtonDown(HWND button, LPARAM lParam, SkinButtonLook& look, SkinRepaintFlags* flags)
{
    if (isPointInButton(button, lParam))
        setLook(look, 0, 0, 1);
    SetCapture(button);
    if (flags) {
        flags->pressStarted = 1;
        flags->insidePainted = 0;
        flags->outsidePainted = 0;
        flags->idle = 0;
    }
    repaintButton(button);
}

// The owner runs the button's action.
static void clickSkinButton(HWND button, const SkinButtonSlot& slot)
{
    SendMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(slot.controlId, BN_CLICKED), 0);
}

// The release ends the press whether or not it is a click; the look stays
// until the next move. The capture goes before the click is sent: the action
// may open a modal dialog or a message box that needs the mouse.
static void onSkinButtonUp(HWND button, LPARAM lParam, const SkinButtonSlot& slot)
{
    const bool inside = isPointInButton(button, lParam);
    ReleaseCapture();
    if (inside)
        clickSkinButton(button, slot);
}

static void onSkinMouseLeave(HWND button, SkinButtonLook& look, SkinRepaintFlags* flags)
{
    setLook(look, 1, 0, 0);
    look.tracking = 0;
    if (flags) {
        flags->pressStarted = 0;
        flags->insidePainted = 0;
        flags->outsidePainted = 1;
        flags->idle = 1;
    }
    repaintButton(button);
}

// Enter and Space reach a focused button. Enter clicks at once; Space shows
// the button pressed and clicks when it is let go, as the standard button
// does. False for any other key.
static bool onSkinKey(HWND button, UINT message, WPARAM key, LPARAM flags, SkinButtonLook& look,
                      const SkinButtonSlot& slot)
{
    const LPARAM WAS_DOWN = 1 << 30;  // an auto-repeat of a key held down
    if (key == VK_RETURN && message == WM_KEYDOWN) {
        clickSkinButton(button, slot);
        return true;
    }
    if (key != VK_SPACE)
        return false;
    if (message == WM_KEYDOWN && !(flags & WAS_DOWN)) {
        look.spaceHeld = true;
        setLook(look, 0, 0, 1);
        repaintButton(button);
    } else if (message == WM_KEYUP && look.spaceHeld) {
        look.spaceHeld = false;
        setLook(look, 1, 0, 0);
        repaintButton(button);
        clickSkinButton(button, slot);
    }
    return true;
}

// Whether the dialog manager asks about a press of Enter: it sends
// WM_GETDLGCODE with the key message it is about to act on.
static bool asksAboutEnter(LPARAM lParam)
{
    const MSG* msg = reinterpret_cast<const MSG*>(lParam);
    return msg && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN;
}

static void paintSkinButton(HWND button, const SkinButtonSlot& slot, const SkinButtonGroup& group, int index)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(button, &paint);
    RECT client;
    GetClientRect(button, &client);
    const LRESULT hidden = SendMessageW(button, WM_QUERYUISTATE, 0, 0);
    SkinButtonCues cues;
    cues.focusRect = GetFocus() == button && !(hidden & UISF_HIDEFOCUS);
    cues.accessKeys = !(hidden & UISF_HIDEACCEL);
    renderSkinButton(dc, client.right, client.bottom, slot, group, index, cues);
    EndPaint(button, &paint);
}

// The mouse messages never reach the standard button: a click neither takes
// the focus nor makes a BN_CLICKED of its own. The keys that press a button
// are handled here too; everything else goes the standard way, and where the
// standard button paints itself the skin paints again after it.
static LRESULT skinButtonMessage(HWND button, UINT message, WPARAM wParam, LPARAM lParam, const SkinButtonSet& set,
                                 int index)
{
    SkinButtonGroup* group = set.group();
    if (!group || index >= set.count)
        return DefSubclassProc(button, message, wParam, lParam);
    SkinButtonLook& look = group->looks[index];
    SkinRepaintFlags* flags = set.repaintEveryMove ? nullptr : &group->repaint;
    const bool ignoresMouse = set.disabledIgnoresMouse && !IsWindowEnabled(button);
    switch (message) {
    case WM_MOUSEMOVE:
        if (!ignoresMouse)
            onSkinMouseMove(button, lParam, look, flags);
        return 1;
    case WM_LBUTTONDOWN:
        if (!ignoresMouse)
            onSkinButtonDown(button, lParam, look, flags);
        return 1;
    case WM_LBUTTONUP:
        if (!ignoresMouse)
            onSkinButtonUp(button, lParam, set.slots[index]);
        return 1;
    case WM_MOUSELEAVE:
        if (!ignoresMouse)
            onSkinMouseLeave(button, look, flags);
        return 1;
    case WM_SETCURSOR:
        SetCursor(LoadCursorW(nullptr, ignoresMouse ? IDC_ARROW : IDC_HAND));
        return TRUE;
    case WM_PAINT:
        paintSkinButton(button, set.slots[index], *group, index);
        return 1;
    case WM_GETDLGCODE:
        // Enter goes to the focused button itself: the dialog manager would
        // send the command to the dialog whose keys it handles, the main
        // dialog, which does not own the list page's buttons.
        return DefSubclassProc(button, message, wParam, lParam) | (asksAboutEnter(lParam) ? DLGC_WANTALLKEYS : 0);
    case WM_KEYDOWN:
    case WM_KEYUP:
        if (onSkinKey(button, message, wParam, lParam, look, set.slots[index]))
            return 0;
        return DefSubclassProc(button, message, wParam, lParam);
    case BM_CLICK:
        // The dialog manager's press for an access key.
        if (IsWindowEnabled(button))
            clickSkinButton(button, set.slots[index]);
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
    case WM_SETTEXT:
    case WM_UPDATEUISTATE: {
        // The standard button keeps its focus state, text and UI state here,
        // and may paint itself straight onto the screen, over the skin: the
        // skin repaints the whole button after it.
        if (message == WM_KILLFOCUS && look.spaceHeld) {
            look.spaceHeld = false;
            setLook(look, 1, 0, 0);
        }
        const LRESULT result = DefSubclassProc(button, message, wParam, lParam);
        repaintButton(button);
        return result;
    }
    default:
        return DefSubclassProc(button, message, wParam, lParam);
    }
}

LRESULT CALLBACK SkinButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR slot,
                                DWORD_PTR set)
{
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(button, SkinButtonProc, slot);
        return DefSubclassProc(button, message, wParam, lParam);
    }
    return guardedCall(L"SkinButtonProc", [&] {
        return skinButtonMessage(button, message, wParam, lParam, *reinterpret_cast<const SkinButtonSet*>(set),
                                 static_cast<int>(slot));
    });
}

static int imageForLook(const SkinButtonLook& look, const SkinButtonSlot& slot)
{
    if (look.normal == 1)
        return slot.normalImage;
    if (look.hover == 1)
        return slot.hoverImage;
    if (look.pressed == 1)
        return slot.pressedImage;
    return 0;
}

// The help icon's square: s = dpiScale * 16 on a side, centred, with the
// slot's bias.
static Gdiplus::RectF helpIconSquare(int width, int height, const SkinButtonSlot& slot)
{
    const float side = skinHelpIconSide(AppGlobals.dpiScale);
    return Gdiplus::RectF((width - side + slot.iconBias) / 2, (height - side + 0.5f) / 2, side, side);
}

// The label centred in the whole button; it underlines its access key when
// accessKeys says so and hides the "&" otherwise.
static void drawButtonLabel(Gdiplus::Graphics& graphics, int width, int height, const SkinButtonSlot& slot,
                            bool accessKeys, const Gdiplus::Color& colour)
{
    std::wstring label = loadResString(slot.labelId);
    Gdiplus::FontFamily family(skinFaceName.c_str(), nullptr);
    Gdiplus::Font font(&family, skinLabelEmSize(AppGlobals.dpiScale), Gdiplus::FontStyleRegular,
                       Gdiplus::UnitPixel);
    Gdiplus::StringFormat format(0, 0);
    format.SetAlignment(Gdiplus::StringAlignmentCenter);
    format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
    format.SetHotkeyPrefix(accessKeys ? Gdiplus::HotkeyPrefixShow : Gdiplus::HotkeyPrefixHide);
    Gdiplus::SolidBrush brush(colour);
    graphics.DrawString(label.c_str(), static_cast<INT>(label.size()), &font,
                        Gdiplus::RectF(0, 0, static_cast<float>(width), static_cast<float>(height)), &format,
                        &brush);
}

// The image and the label or icon.
static void drawSkinButtonFace(HDC dc, int width, int height, const SkinButtonSlot& slot,
                               const SkinButtonGroup& group, int index, bool accessKeys)
{
    Gdiplus::Graphics graphics(dc);
    const int imageId = imageForLook(group.looks[index], slot);
    Gdiplus::Bitmap* face = imageId ? group.faceImage(imageId) : nullptr;
    int imageHeight = height + (slot.footerExtraHeight ? skinFooterExtraHeight(AppGlobals.dpiScale) : 0);
    if (face)
        graphics.DrawImage(face, Gdiplus::Rect(0, slot.imageTop, width, imageHeight));

    if (slot.labelId == 0) {
        if (group.helpIcon.image())
            graphics.DrawImage(group.helpIcon.image(), helpIconSquare(width, height, slot));
        return;
    }
    const bool grey = slot.greyWhenUnavailable && group.available[index] == 0;
    drawButtonLabel(graphics, width, height, slot, accessKeys,
                    Gdiplus::Color(grey ? SKIN_UNAVAILABLE_LABEL_COLOR : SKIN_LABEL_COLOR));
}

// Under a high-contrast theme a button is drawn in the theme's colours only:
// the button face, or the highlight while the pointer is on it or presses
// it, with a frame and a label in the matching text colour (grey text for an
// unavailable list button); the frame is two pixels wide while pressed. The
// label's pixels are whole, not blended into the face. The help icon keeps
// its picture inside an outline in the label's colour, so that it shows on
// any face. Returns the label's colour.
static COLORREF drawContrastButtonFace(HDC dc, int width, int height, const SkinButtonSlot& slot,
                                       const SkinButtonGroup& group, int index, bool accessKeys)
{
    const SkinButtonLook& look = group.looks[index];
    const bool grey = slot.greyWhenUnavailable && group.available[index] == 0;
    const bool lit = !grey && look.normal != 1 && (look.hover == 1 || look.pressed == 1);
    const COLORREF ink = GetSysColor(lit ? COLOR_HIGHLIGHTTEXT : grey ? COLOR_GRAYTEXT : COLOR_BTNTEXT);
    RECT frame = {0, 0, width, height};
    fillWithColour(dc, frame, GetSysColor(lit ? COLOR_HIGHLIGHT : COLOR_BTNFACE));
    frameWithColour(dc, frame, ink);
    if (lit && look.pressed == 1) {
        InflateRect(&frame, -1, -1);
        frameWithColour(dc, frame, ink);
    }
    Gdiplus::Graphics graphics(dc);
    const Gdiplus::Color colour(255, GetRValue(ink), GetGValue(ink), GetBValue(ink));
    if (slot.labelId == 0) {
        const Gdiplus::RectF square = helpIconSquare(width, height, slot);
        if (group.helpIcon.image())
            graphics.DrawImage(group.helpIcon.image(), square);
        Gdiplus::Pen outline(colour);
        graphics.DrawEllipse(&outline, square);
        return ink;
    }
    graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintSingleBitPerPixelGridFit);
    drawButtonLabel(graphics, width, height, slot, accessKeys, colour);
    return ink;
}

// The focus rectangle keeps clear of the pictures' one-pixel frame.
static const int FOCUS_RECT_INSET = 3;

// DrawFocusRect inverts what lies under it, which gives colours of no theme:
// under a high-contrast theme the dotted line is drawn in the label's colour.
static void drawDottedRect(HDC dc, const RECT& rect, COLORREF colour)
{
    for (int x = rect.left; x < rect.right; x += 2) {
        SetPixelV(dc, x, rect.top, colour);
        SetPixelV(dc, x, rect.bottom - 1, colour);
    }
    for (int y = rect.top; y < rect.bottom; y += 2) {
        SetPixelV(dc, rect.left, y, colour);
        SetPixelV(dc, rect.right - 1, y, colour);
    }
}

void renderSkinButton(HDC dc, int width, int height, const SkinButtonSlot& slot, const SkinButtonGroup& group,
                      int index, SkinButtonCues cues)
{
    const bool contrast = highContrastOn();
    COLORREF ink = 0;
    if (contrast)
        ink = drawContrastButtonFace(dc, width, height, slot, group, index, cues.accessKeys);
    else
        drawSkinButtonFace(dc, width, height, slot, group, index, cues.accessKeys);
    if (cues.focusRect) {
        RECT focus = {0, 0, width, height};
        InflateRect(&focus, -FOCUS_RECT_INSET, -FOCUS_RECT_INSET);
        if (contrast)
            drawDottedRect(dc, focus, ink);
        else
            DrawFocusRect(dc, &focus);
    }
}
