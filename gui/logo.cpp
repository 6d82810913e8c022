/* logo.cpp: the branding header at the top of the main panel: the four text styles and the
** table of brandings, of which the program shows row 5.
*/
#include "gui.h"

namespace vr
{

/* Creates a text-message control without label on `panel` at (left, top) in the given
** colours and point size, in the standard application font, and shows `text` in it. The new
** control's identifier is not kept: nothing addresses the header texts again. */
static void ShowInfoText(const char *text, int left, int top, int pointSize, int bgColor,
                         int textColor)
{
    int ctrl = NewCtrl(panel, CTRL_TEXT_MSG, "", top, left);
    SetCtrlAttribute(panel, ctrl, ATTR_TEXT_FONT, VAL_APP_FONT);
    SetCtrlAttribute(panel, ctrl, ATTR_TEXT_BGCOLOR, bgColor);
    SetCtrlAttribute(panel, ctrl, ATTR_TEXT_COLOR, textColor);
    SetCtrlAttribute(panel, ctrl, ATTR_TEXT_POINT_SIZE, pointSize);
    SetCtrlVal(panel, ctrl, text);
}

/* Style 1: grey on white. */
void ShowInfoText1(const char *text, int left, int top, int pointSize)
{
    ShowInfoText(text, left, top, pointSize, 0xFFFFFF, 0x808080);
}

/* Style 2: black on white. */
void ShowInfoText2(const char *text, int left, int top, int pointSize)
{
    ShowInfoText(text, left, top, pointSize, 0xFFFFFF, 0x000000);
}

/* Style 3: white on the panel's own background. */
void ShowInfoText3(const char *text, int left, int top, int pointSize)
{
    ShowInfoText(text, left, top, pointSize, VAL_TRANSPARENT, 0xFFFFFF);
}

/* Style 4: white on the header blue. */
void ShowInfoText4(const char *text, int left, int top, int pointSize)
{
    ShowInfoText(text, left, top, pointSize, 0x0080FF, 0xFFFFFF);
}

/* One branding: frame colour of the header, logo position, the text style of all four
** lines and where the title stands. The contact lines always stand at the left edge. */
struct Branding {
    int frameColor; /* 0xRRGGBB */
    int logoTop, logoLeft;
    int style; /* 1..4: ShowInfoText1 .. ShowInfoText4 */
    int titleLeft, titleTop;
};

/* Rows 0..11. The program uses row 5; the others are variations of the same neutral
** branding in the other styles and colours. */
static const Branding brandings[12] = {
    {0x808080, 6, 168, 1, 218, 30}, /* 0 */
    {0x000000, 6, 168, 2, 218, 30}, /* 1 */
    {0x0080FF, 6, 168, 3, 218, 30}, /* 2 */
    {0x808080, 6, 180, 1, 230, 30}, /* 3 */
    {0x000000, 6, 180, 2, 230, 30}, /* 4 */
    {0x0080FF, 6, 168, 4, 218, 30}, /* 5: the program's header, white on blue */
    {0x0080FF, 6, 180, 3, 230, 30}, /* 6 */
    {0x0080FF, 6, 180, 4, 230, 30}, /* 7 */
    {0x808080, 4, 168, 1, 218, 26}, /* 8 */
    {0x000000, 4, 168, 2, 218, 26}, /* 9 */
    {0x0080FF, 4, 168, 3, 218, 26}, /* 10 */
    {0x0080FF, 4, 168, 4, 218, 26}, /* 11 */
};

static void (*const showText[4])(const char *, int, int, int) = {ShowInfoText1, ShowInfoText2,
                                                                 ShowInfoText3, ShowInfoText4};

void ShowLogo(int variant)
{
    if (variant < 0 || variant > 11) return;
    const Branding &b = brandings[variant];
    void (*show)(const char *, int, int, int) = showText[b.style - 1];

    SetCtrlAttribute(panel, PANEL_HEADER_DECO, ATTR_FRAME_COLOR, b.frameColor);
    SetCtrlAttribute(panel, PANEL_LOGO, ATTR_TOP, b.logoTop);
    SetCtrlAttribute(panel, PANEL_LOGO, ATTR_LEFT, b.logoLeft);
    DisplayImageFile(panel, PANEL_LOGO, "logo.png"); /* a missing file leaves it empty */
    show("Veltra-Razov V2.0", b.titleLeft, b.titleTop, 18);
    show("Example Sensorics Ltd.", 15, 5, 12);
    show("Tel. +00 000 000 000", 15, 20, 12);
    show("www.example.com", 15, 35, 12);
}

} // namespace vr
