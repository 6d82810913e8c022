/* platform.h: the services the program logic uses for its panel, event loop, popups,
** serial port, timer, files and graphs. The one header of platform/ that the logic includes;
** no Qt type appears here. Implementation files: panel.cpp, menus.cpp, events.cpp,
** popups.cpp, serial.cpp, files.cpp, graphs.cpp. Read-back for tests: probe.h.
**
** Conventions: every operation returns 0 or more on success and a negative code on failure
** unless its comment says otherwise. Colours are 0xRRGGBB. A value, attribute or list item
** the program writes never raises a control callback; only the operator's input does.
*/
#ifndef PLATFORM_H
#define PLATFORM_H

#include <cstddef>

/* ---- Events and callbacks ---------------------------------------------------------- */

enum {
    EVENT_COMMIT = 1,      /* button press or shortcut, numeric Enter/step/changed focus-out,
                              ring selection, switch toggle */
    EVENT_VAL_CHANGED = 2, /* target toggles: the operator switched the toggle */
    EVENT_RIGHT_CLICK = 5, /* right click (context-menu request) on any control, dimmed or not */
    EVENT_CLOSE = 11       /* the operator asked to close the panel */
};

typedef int (*CtrlCallbackPtr)(int panel, int control, int event, void *callbackData,
                               int eventData1, int eventData2);
typedef int (*PanelCallbackPtr)(int panel, int event, void *callbackData, int eventData1,
                                int eventData2);

/* One row of the program's table of callbacks: a name as the panel file gives it and
** either a control callback or a panel callback. */
struct CallbackEntry {
    const char *name;
    CtrlCallbackPtr control;
    PanelCallbackPtr panel;
};

/* ---- Run-time start, panels and the event loop -------------------------------------- */

/* Starts the run-time (the toolkit application) unless one already runs.
** Returns 1 on success, 0 when it cannot start (no display); then one line on stderr. */
int InitRunTime(int argc, char *argv[]);

/* Remembers the table through which LoadPanel binds callbacks by name. */
void BindCallbacks(const CallbackEntry *table, int count);

/* Loads panel `panelId` of the panel file `fileName` (a relative name is taken from the
** project directory). Returns a positive handle, or a negative code when the file is
** missing or malformed, names an unknown callback, or a control lacks its identifier. */
int LoadPanel(int parentPanel, const char *fileName, int panelId);
/* Shows a loaded panel and makes it the parent of later popups: the first time at the size
** its file gives, made smaller where the screen has less room (never below what its layout
** needs). -1 for an unknown handle. */
int DisplayPanel(int panel);
/* Closes and frees a loaded panel without raising its close event; -1 for an unknown handle. */
int DiscardPanel(int panel);

/* Dispatches events to the callbacks until QuitUserInterface is called, then returns its
** code. Returns at once if QuitUserInterface was called before (for example from a callback
** nested in a wait during start-up). */
int RunUserInterface(void);
/* Ends RunUserInterface once control returns to it; safe to call from a callback nested
** inside ProcessSystemEvents. */
int QuitUserInterface(int returnCode);

/* Dispatches the events pending now, running their callbacks nested in the caller, and
** returns. Never sleeps: a loop that calls nothing else runs a core at full load. The panels'
** repaint is left to the event processing that follows (in the polling loop: the next reply
** wait, while the request is on the line), except inside a wait or a popup that a callback
** of the pass runs, which repaint at once. */
int ProcessSystemEvents(void);
/* The event processing of a wait loop. Dispatches the events pending now, like
** ProcessSystemEvents; if there were none, sleeps until the next event arrives or Timer()
** reaches `deadline`, and dispatches it. Any event ends the sleep: operator input, a popup,
** a timer, serial data. With `port` and `awaitedBytes` above 0 it sleeps only while fewer
** than awaitedBytes bytes are queued on that port (GetInQLen), and on Linux the device holds
** back the bytes that leave the count short, so that only the byte that completes it wakes
** the process (GetInQLen counts the held bytes again once the call returns). Returns within a
** fraction of a millisecond of the event that ends the sleep, and less than 1 ms after the
** deadline on an idle system; at once, after dispatching, when the deadline has passed or
** the bytes are queued. A callback it runs may wait in turn. Returns 0, or -1 before
** InitRunTime. */
int ProcessSystemEventsUntil(double deadline, int port, int awaitedBytes);

/* ---- Menu bar ----------------------------------------------------------------------- */

/* A menu command: the panel whose menu bar it belongs to and the item's identifier. */
typedef void (*MenuCallbackPtr)(int panel, int menuItem);

/* One row of the program's menu table. Consecutive rows with the same menu title form one
** menu, menus and items in table order; "&" marks the letter that opens a menu with Alt. */
struct MenuEntry {
    const char *menu;         /* menu title, e.g. "&File" */
    const char *item;         /* item text, or nullptr for a separator line */
    int id;                   /* item identifier for the menu attributes, > 0; 0 separators */
    const char *shortcut;     /* key sequence such as "Ctrl+Q", or nullptr */
    MenuCallbackPtr callback; /* called when the operator chooses the item */
};

/* Gives a loaded panel a menu bar built from `table`, all items enabled and unchecked, at
** the top of the panel's layout, above its controls; the panel grows by the bar's height, so
** the controls keep their room. Returns 0; negative for an unknown panel, a panel without a
** top-level layout, or one that has a menu bar already. */
int InstallMenuBar(int panel, const MenuEntry *table, int count);

enum { ATTR_CHECKED = 200 }; /* menu items: int 0/1, the check mark before the item */
/* Sets ATTR_CHECKED or ATTR_DIMMED (int 0/1) of a menu item; never calls its callback, and
** the operator's choice of an item never changes its check mark: only the program does.
** Negative when the panel has no menu bar or no such item. */
int SetMenuBarAttribute(int panel, int menuItem, int attribute, int value);

/* ---- Control values ----------------------------------------------------------------- */

/* Read a control's value. The overload fixes the width written: reading into an 8-bit
** variable writes exactly that byte (the low 8 bits of the control's value). Strings are
** cut to fit the array and always NUL-terminated. */
int GetCtrlVal(int panel, int control, unsigned char *value);
int GetCtrlVal(int panel, int control, int *value);
int GetCtrlVal(int panel, int control, double *value);
int GetCtrlValText(int panel, int control, char *text, std::size_t capacity);
template <std::size_t N> inline int GetCtrlVal(int panel, int control, char (&text)[N])
{
    return GetCtrlValText(panel, control, text, N);
}

/* Write a control's value; never raises the control's callback. A ring given a value that
** none of its items has shows an extra item labelled "raw <value>", so that the value reads
** back unchanged. A numeric control keeps values inside its range. */
int SetCtrlVal(int panel, int control, int value);
int SetCtrlVal(int panel, int control, unsigned char value);
int SetCtrlVal(int panel, int control, double value);
int SetCtrlVal(int panel, int control, const char *text);

enum {
    ATTR_VISIBLE = 1,      /* int 0/1; a control's label follows it; a hidden control keeps
                              its room, so nothing else on the panel moves */
    ATTR_DIMMED,           /* int 0/1: greyed out, no input; right click still reaches it;
                              a dimmed control shows as tooltip why (its file's dimmedReason) */
    ATTR_LEFT,             /* int, pixels, in the area the control lies in */
    ATTR_TOP,              /* int, pixels, in the area the control lies in */
    ATTR_FRAME_COLOR,      /* int colour */
    ATTR_LABEL_TEXT,       /* string */
    ATTR_TEXT_FONT,        /* string: a font family, or VAL_APP_FONT */
    ATTR_TEXT_COLOR,       /* int colour */
    ATTR_TEXT_POINT_SIZE,  /* int: text height, in the panel's pixels */
    ATTR_TEXT_BGCOLOR,     /* int colour, or VAL_TRANSPARENT */
    ATTR_POINTS_PER_SCREEN /* int, strip charts */
};
enum {
    ATTR_HIGHLIGHTED = 20, /* int 0/1, buttons: 1 shows the button lit, as an action under way;
                              the operator's clicks neither clear nor set it */
    ATTR_TOOLTIP_TEXT      /* string: the text shown while the pointer rests on the control */
};
enum { ATTR_TRACE_VISIBLE = 100 }; /* SetTraceAttribute: int 0/1 */

enum { VAL_TRANSPARENT = 0x1000000 };
/* ATTR_TEXT_FONT value that stands for the application's standard font. */
inline constexpr char VAL_APP_FONT[] = "AppStandardFont";

enum { ATTR_TITLE = 200 }; /* SetPanelAttribute: string, the window title */

/* Sets an int attribute (the ATTR_ values marked int); -1 for an unknown control, an attribute
** the control does not have, or a value out of range (a point size below 1, fewer than two
** points per screen). Never raises a callback. */
int SetCtrlAttribute(int panel, int control, int attribute, int value);
/* Sets a string attribute: ATTR_LABEL_TEXT (the control's label, or a button's own text),
** ATTR_TEXT_FONT or ATTR_TOOLTIP_TEXT; -1 for an unknown control or attribute. */
int SetCtrlAttribute(int panel, int control, int attribute, const char *text);
/* Sets a text attribute of the panel itself (ATTR_TITLE); -1 for an unknown panel or
** attribute. */
int SetPanelAttribute(int panel, int attribute, const char *text);
/* 1: the pointer shows that the program is busy, over all its windows; 0: the normal pointer
** again. A modal popup or dialog shows the normal pointer while it is open. */
int SetWaitCursor(int busy);

/* Replaces item `index` of a ring by (label, value); an index one past the end appends. */
int ReplaceListItem(int panel, int control, int index, const char *label, int value);

enum { CTRL_TEXT_MSG = 1 };
/* Creates a control of `style` on the panel at (top, left); returns its new identifier. The
** position is taken in the panel's canvas for created controls, the area its file marks
** (the header band, at the panel's top left, moved by the layout with what lies in it), or
** in the panel itself where it marks none. */
int NewCtrl(int panel, int style, const char *label, int top, int left);
/* Shows an image file in a picture control; a relative name is taken from the project
** directory. Negative when the file cannot be read; the picture then stays empty. */
int DisplayImageFile(int panel, int control, const char *fileName);

/* ---- Popups ------------------------------------------------------------------------- */

/* Modal message with an OK button; title and text shown exactly as given (spaces and line
** feeds kept). Returns when the operator closes it. */
int MessagePopup(const char *title, const char *text);
/* Modal question with the buttons Yes and No (the default); title and text as for
** MessagePopup. Returns 1 when the operator pressed Yes, 0 otherwise. */
int ConfirmPopup(const char *title, const char *text);

/* Modal file dialog. Starts in `defaultDir` with `defaultFile` proposed and the filter
** `fileTypeList` (for example "*.dat"). With restrictExtension a name typed without the
** extension gets it. buttonLabel VAL_SAVE_BUTTON makes it a dialog for saving: its button
** reads "Save" and an existing file is returned only once the operator has confirmed
** replacing it. Returns 1 for an existing file, 2 for a new name, 0 for cancel, negative
** when the path cannot be taken (it does not fit pathCapacity whole) with the reason in
** GetFileErrorText; on 1 or 2 the full path is in pathOut, NUL-terminated, otherwise pathOut
** is untouched. */
int FileSelectPopupText(const char *defaultDir, const char *defaultFile, const char *fileTypeList,
                        const char *title, int buttonLabel, int restrictDirectory,
                        int restrictExtension, int allowCancel, int allowMakeDirectory,
                        char *pathOut, std::size_t pathCapacity);
template <std::size_t N>
inline int FileSelectPopup(const char *defaultDir, const char *defaultFile,
                           const char *fileTypeList, const char *title, int buttonLabel,
                           int restrictDirectory, int restrictExtension, int allowCancel,
                           int allowMakeDirectory, char (&pathOut)[N])
{
    return FileSelectPopupText(defaultDir, defaultFile, fileTypeList, title, buttonLabel,
                               restrictDirectory, restrictExtension, allowCancel,
                               allowMakeDirectory, pathOut, N);
}
enum { VAL_OK_BUTTON = 0, VAL_SAVE_BUTTON = 1 };

/* ---- Time and system ---------------------------------------------------------------- */

/* Seconds since an arbitrary origin, monotonic, as a double. */
double Timer(void);
/* Suspends the thread; no events are processed meanwhile. */
void Sleep(int milliseconds);
/* The directory the program's data (panel file, logo) is loaded from: the program's own
** directory, or for an installed program its data directory. The environment variable
** VELTRAV20_DATA_DIR, when set, names it instead: tests start the program against a folder
** of their choosing that way. */
int GetProjectDirText(char *dir, std::size_t capacity);
template <std::size_t N> inline int GetProjectDir(char (&dir)[N])
{
    return GetProjectDirText(dir, N);
}
/* A directory the operator can write: the project directory where writable, else home. */
int GetDocumentDirText(char *dir, std::size_t capacity);
template <std::size_t N> inline int GetDocumentDir(char (&dir)[N])
{
    return GetDocumentDirText(dir, N);
}

/* ---- Serial port -------------------------------------------------------------------- */
/* Port n is the device named by the environment variable VELTRAV20_COM<n> if set. Otherwise
** it is the n-th serial device the system has: first the built-in ports (ttyS0, ttyS1, ..,
** and other ports not on USB) in the order of their numbers, then the USB adapters (ttyACM*,
** ttyUSB*) in the order of their device names; COM<n> on Windows. So an industrial PC keeps
** COM 1 = /dev/ttyS0 and a laptop's one adapter is port 1. The list is taken again at every
** open and whenever devices appear or disappear. After a read, write or resource error (the
** device vanished) the port is closed, so that every later operation returns a negative value
** until it is opened again. */

/* Results of the serial operations. The status line has a text for each (and for -5 and
** anything else below -7: "RS-232 error!"). */
enum {
    ComErrUnknown = -1,    /* any other system error */
    ComErrBadPort = -2,    /* port number outside 1..255 */
    ComErrNotOpen = -3,    /* the port is not open, or its device vanished */
    ComErrIO = -4,         /* an I/O error; not returned by this layer */
    ComErrNoDevice = -6,   /* no such device, or none for the port number */
    ComErrCannotOpen = -7, /* permission denied, or the device is in use by another program */
    ComErrTimeout = -99    /* a time-out; not returned by this layer */
};

/* Opens port `port` (closing it first if it is open) on deviceName, or when that is empty on
** the device its number names. Parity 0 none, 1 odd, 2 even, 3 mark, 4 space; a queue size
** below 1 stands for 1024 bytes; the input queue never holds more than its size (a flooding
** peer's bytes wait in the system until read). Returns 0, or ComErrBadPort, ComErrNoDevice,
** ComErrCannotOpen or ComErrUnknown. */
int OpenComConfig(int port, const char *deviceName, long baudRate, int parity, int dataBits,
                  int stopBits, int inputQueueSize, int outputQueueSize);
/* Closes the port; fine for a port that is not open. */
int CloseCom(int port);
/* Records the port's time-out; reads and writes never wait, so it does not act on them. */
int SetComTime(int port, double timeoutSeconds);
/* Mode 0: no handshake; any other mode: RTS/CTS handshake. */
int SetCTSMode(int port, int mode);
/* Discard everything queued for input, or for output. */
int FlushInQ(int port);
int FlushOutQ(int port);
/* Queues count bytes for sending, as many as the output queue has room for, and starts
** sending at once; returns the number accepted, negative on error. Does not wait. */
int ComWrt(int port, const unsigned char *buffer, int count);
/* Bytes received and queued (never more than the input queue size), negative on error. */
int GetInQLen(int port);
/* Reads up to count queued bytes, never more than capacity; returns the number read,
** negative on error. Does not wait. */
int ComRdBounded(int port, unsigned char *buffer, std::size_t capacity, int count);
template <std::size_t N> inline int ComRd(int port, unsigned char (&buffer)[N], int count)
{
    return ComRdBounded(port, buffer, N, count);
}

/* What port `port` stands for: the device it was last opened on until CloseCom, otherwise the
** device its number names now. `device` gets the device's path, `description` how it is
** reached: "built-in serial", "USB serial" and the adapter's own description after a middle
** dot (U+00B7, in UTF-8), or "set by VELTRAV20_COM<n>"; both are cut to fit and
** NUL-terminated. Returns 1 when the device is present, 0 when it is not (unplugged, or a
** name no device answers to), ComErrNoDevice when the number names no device (both texts
** empty), ComErrBadPort for a number outside 1..255. Opens nothing. */
int GetComPortInfoText(int port, char *device, std::size_t deviceCapacity, char *description,
                       std::size_t descriptionCapacity);
template <std::size_t N, std::size_t M>
inline int GetComPortInfo(int port, char (&device)[N], char (&description)[M])
{
    return GetComPortInfoText(port, device, N, description, M);
}
/* Calls `changed` from event processing, once for a burst, after serial devices appeared in
** or disappeared from the system, or after an open port closed itself because its device
** vanished. A null `changed` stops the calls. */
void WatchComDevices(void (*changed)(void));
/* Test hook: the system's serial devices are taken to be `devices` instead of the ones the
** system reports, and numbered by the rule above: names as the system gives them, in any
** order, separated by ';', each optionally followed by '=' and the device's own description
** ("ttyS1;ttyUSB0=FT232R USB UART;ttyS0"); a name without a '/' is taken in /dev, and names
** beginning with ttyUSB or ttyACM are USB adapters. A listed device counts as present. A
** null `devices` returns to the system's list. Calls the `changed` of WatchComDevices as a
** change of devices does. */
void SetComDeviceList(const char *devices);

/* ---- Array files -------------------------------------------------------------------- */

enum { VAL_DOUBLE = 4, VAL_UNSIGNED_CHAR = 8 }; /* element data types */
enum { VAL_ASCII = 1 };                         /* file type: text */
enum { VAL_TRUNCATE = 0 };                      /* file action: replace the contents */

/* Writes numElements unsigned bytes as text, atomically: the old file stays intact unless
** the whole new file was written. A file replaced keeps its permission bits exactly and,
** where the process may give them, its owner and group. Returns 0, or negative with
** GetFileErrorText set. */
int ArrayToFile(const char *fileName, const unsigned char *array, int dataType, int numElements,
                int numGroups, int dataOrder, int fileLayout, int separation, int fieldWidth,
                int fileType, int fileAction);
/* Reads exactly numElements whole numbers 0..255 from a text file into array. All or
** nothing: on any failure (unreadable, too large, too few or too many values, a value that
** is not a whole number in 0..255) array is untouched and the result is negative with
** GetFileErrorText set. */
int FileToArray(const char *fileName, unsigned char *array, int dataType, int numElements,
                int numGroups, int dataOrder, int fileLayout, int fileType);
/* Text of the last failure of FileSelectPopup, ArrayToFile, FileToArray, the text and line
** files below and SaveCtrlImage; the file routines leave it empty after a success. */
const char *GetFileErrorText(void);
/* 1 when fileName is an existing file whose permission bits let no one write it but that
** this process may replace all the same (it may override them, as root may); 0 otherwise:
** a read-only file the process may not replace is refused by ArrayToFile. */
int GetFileReadOnly(const char *fileName);

/* ---- Text and line files ------------------------------------------------------------ */

/* Writes `length` bytes of `text` as the file, atomically as ArrayToFile: the old file stays
** intact unless the whole new file was written. Returns 0, or negative with GetFileErrorText
** set. */
int SaveTextFile(const char *fileName, const char *text, std::size_t length);

/* Line files, for recordings: a file that grows one line at a time. Creates the file, or
** empties an existing one, for writing lines at its end. Returns a handle (0 or more), or
** negative with GetFileErrorText set; at most 4 line files are open at once. */
int OpenLineFile(const char *fileName);
/* Appends `line` and a line feed and returns once both are on the disk, so that a crash or
** a power cut afterwards keeps them. All or nothing: when the line cannot be written whole
** (full disk, file size limit, medium removed) the part written is cut off again as far as
** the system allows, and the result is negative with GetFileErrorText set; the lines written
** before stay. The file stays open either way. */
int WriteLine(int file, const char *line);
/* Closes a line file; fine for a handle that is not open. Leaves GetFileErrorText alone. */
int CloseLineFile(int file);

/* ---- Graphs ------------------------------------------------------------------------- */

enum { VAL_DELETE_ALL = -1, VAL_IMMEDIATE_DRAW = 1 };
enum { VAL_STEP_PLOT = 5 }; /* plot style: each value held as a horizontal step */

/* Plots n values of y (unsigned bytes) against their index; returns a plot handle. */
int PlotY(int panel, int control, const unsigned char *y, int n, int dataType, int plotStyle,
          int pointStyle, int lineStyle, int pointFrequency, int color);
/* Appends to a strip chart: y holds the values of all traces interleaved (trace 1 first);
** n values from `start`, `skip` values skipped between two taken. */
int PlotStripChart(int panel, int control, const double *y, int n, int start, int skip,
                   int dataType);
/* Deletes one plot of a graph by its handle, or all with VAL_DELETE_ALL; on a strip chart it
** clears every trace. -1 for an unknown control or handle. */
int DeleteGraphPlot(int panel, int control, int plotHandle, int refresh);
/* ATTR_TRACE_VISIBLE of strip chart trace 1..5: shown (1) or hidden (0); a hidden trace
** keeps receiving its points. */
int SetTraceAttribute(int panel, int control, int trace, int attribute, int value);
/* Saves a control as the panel draws it now (a graph with its plots and axes) as a PNG
** file, atomically as SaveTextFile. Returns 0, or negative with GetFileErrorText set. */
int SaveCtrlImage(int panel, int control, const char *fileName);

#endif
