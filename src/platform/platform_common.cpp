// Toolkit-independent part of the platform layer: clock, local time, names,
// folders, the serial port (termios) and the prompt script of the tests.
#include <fcntl.h>
#include <glob.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <map>
#include <string>
#include <thread>

#include "platform/platform.h"
#include "platform/platform_internal.h"

// ---------------------------------------------------------------- clock
namespace {
std::chrono::steady_clock::time_point Clock_Start = std::chrono::steady_clock::now();
}

void Elapsed_Init() { Clock_Start = std::chrono::steady_clock::now(); }

float Elapsed_Ms() {
    auto d = std::chrono::steady_clock::now() - Clock_Start;
    int64_t us = std::chrono::duration_cast<std::chrono::microseconds>(d).count();
    return (float)((double)us / 1000.0);
}

void Sleep_Ms(int64_t ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

int64_t Local_Time_Seconds() {
    time_t now = time(nullptr);
    struct tm local;
    localtime_r(&now, &local);
    return (int64_t)now + (int64_t)local.tm_gmtoff;
}

static std::string Two_Digits(int v) {
    char b[16];
    snprintf(b, sizeof b, "%02d", v);
    return b;
}

std::string Format_Local_Time(int64_t local_seconds, const std::string& pattern) {
    // The value already counts local time, so it is broken down without a zone.
    time_t t = (time_t)local_seconds;
    struct tm parts;
    gmtime_r(&t, &parts);
    std::string out;
    for (size_t i = 0; i < pattern.size();) {
        if (pattern.compare(i, 5, "%yyyy") == 0) {
            out += std::to_string(parts.tm_year + 1900);
            i += 5;
        } else if (pattern.compare(i, 3, "%yy") == 0) {
            out += Two_Digits((parts.tm_year + 1900) % 100);
            i += 3;
        } else if (pattern.compare(i, 3, "%mm") == 0) {
            out += Two_Digits(parts.tm_mon + 1);
            i += 3;
        } else if (pattern.compare(i, 3, "%dd") == 0) {
            out += Two_Digits(parts.tm_mday);
            i += 3;
        } else if (pattern.compare(i, 3, "%hh") == 0) {
            out += Two_Digits(parts.tm_hour);
            i += 3;
        } else if (pattern.compare(i, 3, "%ii") == 0) {
            out += Two_Digits(parts.tm_min);
            i += 3;
        } else if (pattern.compare(i, 3, "%ss") == 0) {
            out += Two_Digits(parts.tm_sec);
            i += 3;
        } else {
            out += pattern[i++];
        }
    }
    return out;
}

// ---------------------------------------------------------------- names and folders
std::string Computer_Name() {
    char name[HOST_NAME_MAX + 1] = {0};
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == 0) return "localhost";
    return name;
}

std::string Current_Directory() {
    char buffer[PATH_MAX];
    if (!getcwd(buffer, sizeof buffer)) return ".";
    return buffer;
}

std::string User_Data_Folder() {
    const char* xdg = getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') return xdg;
    const char* home = getenv("HOME");
    if (home && home[0]) return std::string(home) + "/.config";
    return Current_Directory() + "/.config";
}

bool Create_Folder(const std::string& path) {
    if (path.empty()) return false;
    // Creates every missing parent, like "mkdir -p".
    std::string partial;
    for (size_t i = 0; i < path.size(); i++) {
        partial += path[i];
        if ((path[i] == '/' && i > 0) || i + 1 == path.size()) {
            if (mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) return false;
        }
    }
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool File_Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

int64_t File_Size(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return -1;
    return (int64_t)st.st_size;
}

// ---------------------------------------------------------------- serial port
// The descriptors are non-blocking: a read takes what has arrived, and a write
// that finds the line's buffer full waits for room at most SERIAL_TIMEOUT_MS
// (a far side that stopped reading must not stop the program).
namespace {
std::map<int64_t, int> Serial_Ports;  // port number -> file descriptor
std::string Serial_Error;

int64_t Steady_Ms() {
    return (int64_t)std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// "ttyUSB2" before "ttyUSB10": runs of digits compare as numbers.
bool Natural_Less(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isdigit((unsigned char)a[i]) && isdigit((unsigned char)b[j])) {
            size_t i_end = i, j_end = j;
            while (i_end < a.size() && isdigit((unsigned char)a[i_end])) i_end++;
            while (j_end < b.size() && isdigit((unsigned char)b[j_end])) j_end++;
            std::string x = a.substr(i, i_end - i), y = b.substr(j, j_end - j);
            x.erase(0, std::min(x.find_first_not_of('0'), x.size()));
            y.erase(0, std::min(y.find_first_not_of('0'), y.size()));
            if (x.size() != y.size()) return x.size() < y.size();
            if (x != y) return x < y;
            i = i_end;
            j = j_end;
        } else {
            if (a[i] != b[j]) return a[i] < b[j];
            i++;
            j++;
        }
    }
    return a.size() - i < b.size() - j;
}
}  // namespace

std::vector<std::string> Serial_Port_Names(const std::string& root) {
    std::vector<std::string> names;
    for (const char* pattern : {"/dev/serial/by-id/*", "/dev/ttyUSB*", "/dev/ttyACM*"}) {
        glob_t found = {};
        std::vector<std::string> group;
        if (glob((root + pattern).c_str(), 0, nullptr, &found) == 0)
            for (size_t i = 0; i < found.gl_pathc; i++) group.push_back(found.gl_pathv[i] + root.size());
        globfree(&found);
        std::sort(group.begin(), group.end(), Natural_Less);
        names.insert(names.end(), group.begin(), group.end());
    }
    return names;
}

// Only a terminal is a serial port: the requests written to anything else
// (a disk, a loop device, a regular file) would overwrite or grow it. The
// name is checked before it is opened, so that a block device or a FIFO is
// never opened at all; the descriptor must then take line settings, which
// only a terminal does (also when the name was replaced in between). The
// open is non-blocking, so a modem line without carrier does not hang it.
bool Serial_Open(int64_t port, const std::string& name) {
    Serial_Close(port);
    const char* not_a_port = "Not a serial port";
    struct stat st;
    if (stat(name.c_str(), &st) != 0) {
        Serial_Error = strerror(errno);
        return false;
    }
    if (!S_ISCHR(st.st_mode)) {
        Serial_Error = not_a_port;
        return false;
    }
    int fd = open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        Serial_Error = strerror(errno);
        return false;
    }
    struct termios tio;
    if (tcgetattr(fd, &tio) != 0) {
        close(fd);
        Serial_Error = not_a_port;
        return false;
    }
    cfmakeraw(&tio);
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    tio.c_cflag |= CLOCAL | CREAD;
    tcsetattr(fd, TCSANOW, &tio);
    Serial_Ports[port] = fd;
    Serial_Error.clear();
    return true;
}

std::string Serial_Last_Error() { return Serial_Error; }

bool Serial_Is_Open(int64_t port) { return Serial_Ports.count(port) != 0; }

void Serial_Close(int64_t port) {
    auto it = Serial_Ports.find(port);
    if (it == Serial_Ports.end()) return;
    // Unsent bytes are dropped: a close would otherwise wait for a stalled
    // line to drain them (up to half a minute on some adapters).
    tcflush(it->second, TCOFLUSH);
    close(it->second);
    Serial_Ports.erase(it);
}

int64_t Serial_Available(int64_t port) {
    auto it = Serial_Ports.find(port);
    if (it == Serial_Ports.end()) return 0;
    int n = 0;
    if (ioctl(it->second, FIONREAD, &n) != 0) return 0;
    return n;
}

int64_t Serial_Read(int64_t port, uint8_t* buffer, int64_t size) {
    auto it = Serial_Ports.find(port);
    if (it == Serial_Ports.end() || size <= 0) return 0;
    ssize_t n = read(it->second, buffer, (size_t)size);
    return n < 0 ? 0 : (int64_t)n;
}

int64_t Serial_Write(int64_t port, const uint8_t* data, int64_t size) {
    auto it = Serial_Ports.find(port);
    if (it == Serial_Ports.end() || size <= 0) return 0;
    int fd = it->second;
    int64_t deadline = Steady_Ms() + SERIAL_TIMEOUT_MS;
    int64_t done = 0;
    while (done < size) {
        ssize_t n = write(fd, data + done, (size_t)(size - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) break;
        int64_t left = deadline - Steady_Ms();
        if (left <= 0) {
            // Nobody takes the bytes: what is still queued would only be
            // answered late and taken for a fresh reply.
            tcflush(fd, TCOFLUSH);
            break;
        }
        struct pollfd p = {fd, POLLOUT, 0};
        poll(&p, 1, (int)left);
    }
    return done;
}

// ---------------------------------------------------------------- event queue
size_t Next_Deliverable_Event(const std::deque<Platform_Event>& queue, bool calibration_open) {
    if (!calibration_open) return queue.empty() ? queue.size() : 0;
    for (size_t i = 0; i < queue.size(); i++)
        if (queue[i].Kind != EVENT_CLOSE_WINDOW || queue[i].Window == WINDOW_CALIBRATION) return i;
    return queue.size();
}

int64_t Remove_Matching_Events(std::deque<Platform_Event>* queue, int64_t window, int64_t kind,
                               int64_t first_control, int64_t last_control) {
    size_t before = queue->size();
    queue->erase(std::remove_if(queue->begin(), queue->end(),
                                [&](const Platform_Event& e) {
                                    return e.Window == window && e.Kind == kind && e.Control >= first_control &&
                                           e.Control <= last_control;
                                }),
                 queue->end());
    return (int64_t)(before - queue->size());
}

// ---------------------------------------------------------------- menu entries
namespace {
std::map<int64_t, std::vector<Menu_Entry>> Menu_Tables;  // window -> entries
std::map<int64_t, std::string> Menu_Current_Title;
}  // namespace

void Note_Menu_Bar(int64_t window) {
    Menu_Tables[window].clear();
    Menu_Current_Title[window].clear();
}

void Note_Menu_Title(int64_t window, const std::string& title) { Menu_Current_Title[window] = title; }

void Note_Menu_Item(int64_t window, int64_t item, const std::string& text) {
    Menu_Entry e;
    e.Title = Menu_Current_Title[window];
    e.Item = item;
    e.Text = text;
    Menu_Tables[window].push_back(e);
}

std::vector<Menu_Entry> Menu_Entries(int64_t window) {
    auto it = Menu_Tables.find(window);
    return it == Menu_Tables.end() ? std::vector<Menu_Entry>() : it->second;
}

// ---------------------------------------------------------------- program folder
std::string Running_Program_Folder() {
    char path[PATH_MAX + 1];
    ssize_t n = readlink("/proc/self/exe", path, PATH_MAX);
    if (n <= 0) return Current_Directory();
    std::string p(path, (size_t)n);
    size_t slash = p.rfind('/');
    return slash == std::string::npos || slash == 0 ? "/" : p.substr(0, slash);
}

// ---------------------------------------------------------------- rows
std::vector<std::string> Split_Columns(const std::string& text) {
    std::vector<std::string> cells;
    size_t start = 0;
    for (;;) {
        size_t lf = text.find('\n', start);
        if (lf == std::string::npos) {
            cells.push_back(text.substr(start));
            break;
        }
        cells.push_back(text.substr(start, lf - start));
        start = lf + 1;
    }
    return cells;
}

// ---------------------------------------------------------------- prompt script
namespace {
struct Scripted_Answer {
    int Answer;
    std::string Path;
    int Filter_Index;
};
std::deque<Scripted_Answer> Prompt_Script;
std::vector<Prompt_Record> Prompts_Asked;
volatile int* Prompt_Abort_Flag = nullptr;
}  // namespace

void Set_Prompt_Abort_Flag(volatile int* flag) { Prompt_Abort_Flag = flag; }
bool Prompt_Abort_Requested() { return Prompt_Abort_Flag && *Prompt_Abort_Flag != 0; }

void Script_Prompt(int answer, const std::string& path, int filter_index) {
    Prompt_Script.push_back({answer, path, filter_index});
}

void Clear_Prompt_Script() { Prompt_Script.clear(); }
int64_t Scripted_Prompts_Left() { return (int64_t)Prompt_Script.size(); }
const std::vector<Prompt_Record>& Prompt_History() { return Prompts_Asked; }
void Clear_Prompt_History() { Prompts_Asked.clear(); }

bool Take_Scripted_Prompt(Prompt_Record* record) {
    if (Prompt_Script.empty()) return false;
    Scripted_Answer a = Prompt_Script.front();
    Prompt_Script.pop_front();
    record->Answer = a.Answer;
    record->Path = a.Path;
    record->Filter_Index = a.Filter_Index;
    Prompts_Asked.push_back(*record);
    return true;
}

void Record_Prompt(const Prompt_Record& record) { Prompts_Asked.push_back(record); }
