// Platform layer: windows, controls ("gadgets"), menus, timers, the polled
// event queue, prompts, OpenGL views, clock, folders, serial port and threads.
// The rest of the program sees the desktop only through these procedures.
//
// Two implementations exist: platform_wx.cpp (wxWidgets/GTK 3, the program
// and the GUI tests) and platform_null.cpp (a table of control states, the
// event FIFO and scripted prompts; no windows, no GL) for the logic tests.
// Shared, toolkit-independent parts live in platform_common.cpp, the control
// model of both backends in platform_controls.cpp, and the counters the
// tests read in platform_test.h.
//
// Control numbers are unique across all windows, so every gadget procedure
// takes just the control number. A procedure called for a control that does
// not exist does nothing and returns 0 / empty.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// ---------------------------------------------------------------- windows
enum Window_Number : int64_t {
    WINDOW_NONE = 0,
    WINDOW_MAIN = 1,
    WINDOW_EMULATOR = 2,
    WINDOW_VIDEO_SETTINGS = 3,
    WINDOW_CALIBRATION = 4,
    WINDOW_SPLASH = 5,
    WINDOW_VIDEO_SOURCE = 6,
    WINDOW_KEYBOARD_SHORTCUTS = 7,
};

// Flags for Open_Window.
enum Window_Flags : int64_t {
    WINDOW_HIDDEN = 1,        // created invisible; Show_Window makes it visible
    WINDOW_CENTRED = 2,       // centred on the screen
    WINDOW_RESIZABLE = 4,     // sizing border, minimise and maximise boxes
    WINDOW_CLOSE_BOX = 8,     // title bar with close box
    WINDOW_TOOL = 16,         // not shown in the task bar
    WINDOW_ON_TOP = 32,       // kept above all other windows
    WINDOW_BORDERLESS = 64,   // no border or title (splash)
    WINDOW_ACCEPT_FILES = 128,// files dropped on it arrive as EVENT_FILE_DROP
    WINDOW_CHILD_OF_MAIN = 256,
};

// ---------------------------------------------------------------- events
enum Event_Kind : int64_t {
    EVENT_NONE = 0,
    EVENT_CONTROL = 1,
    EVENT_MENU = 2,
    EVENT_FILE_DROP = 3,
    EVENT_TIMER = 4,
    EVENT_CLOSE_WINDOW = 5,
};

// Event types of control events (Platform_Event::Type).
enum Event_Type : int64_t {
    ETYPE_NONE = 0,
    ETYPE_CHANGE = 1,            // button pressed, slider moved, box ticked, text edited, list selection
    ETYPE_LEFT_CLICK = 2,        // left button released over the control after a press on it
    ETYPE_RIGHT_CLICK = 3,
    ETYPE_LEFT_DOUBLE_CLICK = 4,
    ETYPE_MOUSE_MOVE = 5,
    ETYPE_MOUSE_ENTER = 6,
    ETYPE_MOUSE_LEAVE = 7,
    ETYPE_LEFT_DOWN = 8,
    ETYPE_LEFT_UP = 9,
    ETYPE_RIGHT_DOWN = 10,
    ETYPE_RIGHT_UP = 11,
    ETYPE_WHEEL = 12,            // Wheel holds whole notches, positive away from the user
    ETYPE_KEY_DOWN = 13,         // Key holds the Windows virtual-key code
    ETYPE_KEY_UP = 14,
    ETYPE_FOCUS_LOST = 15,
    ETYPE_MIDDLE_DOWN = 16,
    ETYPE_CHARACTER = 17,
};

// Windows virtual-key codes used by the key tables.
enum Virtual_Key : int32_t {
    VK_BACK_ = 8, VK_TAB_ = 9, VK_RETURN_ = 13, VK_SHIFT_ = 16, VK_CONTROL_ = 17,
    VK_ESCAPE_ = 27, VK_SPACE_ = 32, VK_LEFT_ = 37, VK_UP_ = 38, VK_RIGHT_ = 39,
    VK_DOWN_ = 40, VK_DELETE_ = 46, VK_EQUALS_ = 187, VK_MINUS_ = 189,
    // digits are 48..57 and letters 65..90, as their upper-case ASCII codes
};

struct Platform_Event {
    int64_t Window = WINDOW_NONE;
    int64_t Kind = EVENT_NONE;
    int64_t Control = -1;   // control number, menu item number or timer number
    int64_t Type = ETYPE_NONE;
    float X = 0, Y = 0;     // pointer position in the control's logical pixels, origin top left
    int32_t Wheel = 0;      // whole wheel notches (remainders carried by the backend)
    int32_t Key = 0;        // virtual-key code
    std::string Text;       // dropped file names, one per line ("\n" separated)
};

// Pumps the toolkit without blocking and returns the next queued event.
// Returns false (and Kind = EVENT_NONE) when none is pending.
bool Poll_Event(Platform_Event* event);
// Sleeps until an event is queued or timeout_ms has passed. Returns at once
// when an event is already pending. timeout_ms <= 0 only pumps.
void Wait_Event(int64_t timeout_ms);
// Appends an event to the queue (tests inject events this way).
void Post_Event(const Platform_Event& event);
// Discards every queued event (and pumps the toolkit once).
void Flush_Events();
// Discards the queued events of `window` and `kind` whose control number lies
// in first_control..last_control (after pumping the toolkit once); every other
// event stays queued in its order. Returns how many were discarded.
int64_t Remove_Events(int64_t window, int64_t kind, int64_t first_control, int64_t last_control);
// While the calibration input (WINDOW_CALIBRATION) is open, the close requests
// of other windows stay queued: its loop takes only its own window's events
// and drops the rest, and a close box must not be lost that way. Poll_Event
// passes over them and Wait_Event does not count them until it has closed.

// A hook called when Poll_Event finds the queue empty; tests use it to act
// inside modal loops (for example to type into a dialog). nullptr removes it.
typedef void (*Idle_Hook)(void* user);
void Set_Idle_Hook(Idle_Hook hook, void* user);

// ---------------------------------------------------------------- start and end
// Initialises the toolkit. Returns false when no display can be opened
// (the real backend) or never (the null backend).
bool Platform_Init();
// Releases windows, fonts, timers and the toolkit.
void Platform_Shutdown();
// 1 when the real toolkit backend is linked, 0 for the null backend.
int Platform_Has_Display();

// ---------------------------------------------------------------- windows
bool Open_Window(int64_t window, const std::string& title, int x, int y, int w, int h, int64_t flags);
void Close_Window(int64_t window);
bool Window_Exists(int64_t window);
void Show_Window(int64_t window, bool show);
void Set_Window_Title(int64_t window, const std::string& title);
// Client size in logical pixels. For the main window the height includes the
// menu bar and the status bar (the area controls are laid out in).
void Window_Size(int64_t window, int* w, int* h);
void Resize_Window(int64_t window, int w, int h);      // client size
void Move_Window(int64_t window, int x, int y);        // outer position on the screen
void Window_Position(int64_t window, int* x, int* y);
void Set_Window_Min_Size(int64_t window, int w, int h);
void Set_Window_Opacity(int64_t window, int alpha);    // 0..255
void Set_Window_Background_Image(int64_t window, const uint8_t* rgba, int w, int h);
void Set_Window_On_Top(int64_t window, bool on_top);
// Runs `handler` whenever the window's client size changes (the main window's
// resize handler; it does not go through the event queue).
typedef void (*Resize_Handler)();
void Bind_Resize_Handler(int64_t window, Resize_Handler handler);
int Menu_Bar_Height(int64_t window);
int Status_Bar_Height(int64_t window);

// ---------------------------------------------------------------- controls
enum Control_Kind : int64_t {
    CONTROL_BUTTON = 1,
    CONTROL_TOGGLE_BUTTON = 2,
    CONTROL_IMAGE_BUTTON = 3,
    CONTROL_IMAGE_TOGGLE = 4,
    CONTROL_LABEL = 5,
    CONTROL_FRAME = 6,          // a captioned group box
    CONTROL_SLIDER = 7,
    CONTROL_CHECKBOX = 8,
    CONTROL_DROPDOWN = 9,
    CONTROL_LIST = 10,          // report list with columns
    CONTROL_GL_VIEW = 11,
    CONTROL_SCROLL_AREA = 12,   // a scrollable container
    CONTROL_PAGES = 13,         // a panel of tabbed pages
    CONTROL_TEXT_INPUT = 14,
    CONTROL_TEXT_READONLY = 15,
    CONTROL_PAGE = 16,          // internal: one page of a CONTROL_PAGES
};

// Creates a control in `window` at (x, y) w x h (logical pixels). `parent` is
// the control number of a container (scroll area or page), or -1 for the
// window itself. `text` is the caption. Returns false when it already exists
// or cannot be made.
bool Create_Control(int64_t window, int64_t control, int64_t kind, int x, int y, int w, int h,
                    const std::string& text, int64_t parent = -1);
// Adds a page to a CONTROL_PAGES control; the page becomes container `page_control`.
bool Add_Page(int64_t pages_control, int64_t page_control, const std::string& caption);
bool Control_Exists(int64_t control);
int64_t Control_Kind_Of(int64_t control);
void Free_Control(int64_t control);

// State: toggle/check 0 or 1, slider value, dropdown item index (-1 none),
// list selected row (-1 none), pages: shown page index.
void Set_State(int64_t control, int64_t state);
int64_t Get_State(int64_t control);
void Set_Text(int64_t control, const std::string& text);
std::string Get_Text(int64_t control);
void Set_Tooltip(int64_t control, const std::string& text);
std::string Get_Tooltip(int64_t control);
void Hide_Control(int64_t control, bool hide);
bool Control_Hidden(int64_t control);
void Disable_Control(int64_t control, bool disable);
bool Control_Disabled(int64_t control);
void Resize_Control(int64_t control, int x, int y, int w, int h);  // -1 keeps a value
void Control_Rect(int64_t control, int* x, int* y, int* w, int* h);
// Position of the control's top-left corner relative to its window's client area.
void Control_Window_Position(int64_t control, int* x, int* y);
void Set_Slider_Range(int64_t control, int64_t min_value, int64_t max_value);
// Image buttons, straight RGBA. `scale` is the picture's pixels per logical
// pixel: a picture drawn at the display scale shows at w / scale x h / scale
// logical pixels with every pixel kept.
void Set_Control_Image(int64_t control, const uint8_t* rgba, int w, int h, double scale = 1.0);
void Set_Control_Font(int64_t control, const std::string& face, int points, bool bold);
void Set_Focus(int64_t control);
void Set_Crosshair_Cursor(int64_t control);
void Set_Scroll_Area_Inner_Size(int64_t control, int w, int h);
void Scroll_Area_Inner_Size(int64_t control, int* w, int* h);

// Item rows: dropdown items and list rows. A list row is one text whose
// columns are separated by line feeds; it carries one integer of row data.
// `width` is a minimum: a column widens to show its title and cells whole.
void Add_List_Column(int64_t control, const std::string& title, int width);
int64_t List_Column_Count(int64_t control);
void Add_Row(int64_t control, const std::string& text, int64_t data = 0);
void Clear_Rows(int64_t control);
int64_t Row_Count(int64_t control);
std::string Get_Row_Text(int64_t control, int64_t row);          // columns joined by "\n"
std::string Get_Cell_Text(int64_t control, int64_t row, int64_t column);
int64_t Get_Row_Data(int64_t control, int64_t row);

// ---------------------------------------------------------------- menus
void Create_Menu_Bar(int64_t window);
void Add_Menu_Title(int64_t window, const std::string& title);
// Text may carry "\t" + shortcut (for example "New\tCtrl+N").
void Add_Menu_Item(int64_t window, int64_t item, const std::string& text);
void Add_Menu_Separator(int64_t window);
void Disable_Menu_Item(int64_t item, bool disable);
bool Menu_Item_Disabled(int64_t item);
// Shows a pop-up menu of (item number, text) pairs at the pointer; a choice
// arrives as an EVENT_MENU of `window`.
void Show_Popup_Menu(int64_t window, const std::vector<std::pair<int64_t, std::string>>& items);
// The items of a window's menu bar in menu order, as they were added (the
// shortcuts window lists the accelerators from them).
struct Menu_Entry {
    std::string Title;   // the menu's title
    int64_t Item = 0;
    std::string Text;    // with its "\t" + shortcut, if any
};
std::vector<Menu_Entry> Menu_Entries(int64_t window);

// ---------------------------------------------------------------- status bar
void Create_Status_Bar(int64_t window, const std::vector<int>& widths);
// A field widens to show its text whole (the widths given are minimums).
void Set_Status_Text(int64_t window, int field, const std::string& text);
// Widens a field so that `text` would fit; never narrows it.
void Fit_Status_Field(int64_t window, int field, const std::string& text);
std::string Get_Status_Text(int64_t window, int field);

// ---------------------------------------------------------------- timers
void Add_Timer(int64_t window, int64_t timer, int64_t period_ms);
void Remove_Timer(int64_t window, int64_t timer);

// ---------------------------------------------------------------- prompts
enum Message_Flags : int64_t {
    MSG_OK = 0,
    MSG_YES_NO = 1,
    MSG_ICON_ERROR = 2,
    MSG_ICON_WARNING = 4,
    MSG_ICON_INFO = 8,
};
enum Prompt_Kind : int64_t { PROMPT_MESSAGE = 1, PROMPT_OPEN_FILE = 2, PROMPT_SAVE_FILE = 3, PROMPT_CHOICE = 4 };

// Returns 1 for OK or Yes, 0 for No.
int Message_Box(const std::string& title, const std::string& text, int64_t flags);
// Filter in the "Name|*.ext|Name|*.ext" form. Returns false when cancelled;
// `path` receives the chosen path and `filter_index` the chosen filter (0-based).
bool Open_File_Dialog(const std::string& title, const std::string& default_name, const std::string& filter,
                      std::string* path, int* filter_index);
bool Save_File_Dialog(const std::string& title, const std::string& default_name, const std::string& filter,
                      std::string* path, int* filter_index);
// A question with three buttons (for example Save / Discard / Cancel).
// Returns 0, 1 or 2 for the button pressed; closing the box, a termination
// request or an unscripted box of the null backend answer 2, the last one,
// which must therefore be the harmless answer. The record keeps the button
// texts in Filter, separated by "|"; a scripted answer is the button's number.
int Choice_Box(const std::string& title, const std::string& text, const std::string& first,
               const std::string& second, const std::string& third);

// Script-and-record hook, honoured by both backends: while scripted answers
// are queued, prompts take the next one instead of showing anything.
struct Prompt_Record {
    int64_t Kind = 0;          // Prompt_Kind
    std::string Title;
    std::string Text;          // message text, or the dialog's default name
    std::string Filter;
    int64_t Flags = 0;
    int Answer = 0;            // message: 1 OK/Yes, 0 No; dialogs: 1 chosen, 0 cancelled
    std::string Path;          // chosen path of a dialog
    int Filter_Index = 0;
};
void Script_Prompt(int answer, const std::string& path = "", int filter_index = 0);
// A termination request ends prompts: while *flag is non-zero (set from a
// signal handler), an open message box or file dialog closes as if cancelled
// (No, Cancel) and a new one is not shown. nullptr: prompts always wait.
void Set_Prompt_Abort_Flag(volatile int* flag);
// True while that flag is set; the program's own modal loops (the calibration
// input, the about screen) end on it too.
bool Prompt_Abort_Requested();
void Clear_Prompt_Script();
int64_t Scripted_Prompts_Left();
const std::vector<Prompt_Record>& Prompt_History();
void Clear_Prompt_History();

// ---------------------------------------------------------------- OpenGL views
// A GL view is a control of kind CONTROL_GL_VIEW. Every view has its own
// context; all contexts share texture names with the first view created.
bool GL_View_Exists(int64_t view);
bool GL_Make_Current(int64_t view);
void GL_Swap(int64_t view);
void GL_Swap_Interval(int64_t view, int interval);
void GL_View_Size(int64_t view, int* w, int* h);       // logical pixels
double Display_Scale_X();
double Display_Scale_Y();

// ---------------------------------------------------------------- input state
bool Key_Is_Down(int32_t virtual_key);
bool Left_Button_Is_Down();
void Move_Pointer_By(int dx, int dy);                  // moves the system pointer

// ---------------------------------------------------------------- clock, names, folders
void Elapsed_Init();
float Elapsed_Ms();                  // milliseconds since Elapsed_Init, with fraction
void Sleep_Ms(int64_t ms);
int64_t Local_Time_Seconds();        // seconds since 1970 counted in local time
std::string Format_Local_Time(int64_t local_seconds, const std::string& pattern);  // %yyyy %yy %mm %dd %hh %ii %ss
std::string Computer_Name();
std::string Current_Directory();
std::string User_Data_Folder();      // $XDG_CONFIG_HOME or ~/.config, without trailing "/"
bool Create_Folder(const std::string& path);           // true when it exists afterwards
bool File_Exists(const std::string& path);
int64_t File_Size(const std::string& path);             // -1 when missing
// The folder of the running program's file, without trailing "/".
std::string Running_Program_Folder();
// Shows a file or web address with the desktop's default program for it.
// False when none could be started. The null backend only records it.
bool Open_Url(const std::string& url);

// ---------------------------------------------------------------- serial port
// Reads never wait; a write waits for room on the line at most this long and
// then gives up (returning the bytes written, the rest of its queue dropped).
const int64_t SERIAL_TIMEOUT_MS = 100;
// Opens only a terminal (a character device that takes line settings); any
// other file, device, FIFO or folder is refused untouched ("Not a serial port").
bool Serial_Open(int64_t port, const std::string& name);
// Why the last Serial_Open failed ("No such file or directory"), empty after a success.
std::string Serial_Last_Error();
// The serial ports present: /dev/serial/by-id/* (stable names of USB adapters),
// /dev/ttyUSB*, /dev/ttyACM*, each group in natural order. `root` goes before
// each pattern and is taken off the names found (tests use a folder of their own).
std::vector<std::string> Serial_Port_Names(const std::string& root = "");
bool Serial_Is_Open(int64_t port);
void Serial_Close(int64_t port);
int64_t Serial_Available(int64_t port);
int64_t Serial_Read(int64_t port, uint8_t* buffer, int64_t size);
int64_t Serial_Write(int64_t port, const uint8_t* data, int64_t size);
