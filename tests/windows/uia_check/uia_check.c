/* The tool's windows as a screen reader on Windows finds them: through UI Automation, from
 * the toolkit's own accessible interfaces that Qt hands to it.
 *   kelvora-uia-check TITLE NAME [STEP]...
 * Waits for the tool's top-level window titled TITLE (every window of the tool is) and
 * checks what UI Automation says of it: a window, answered by Qt's provider, named NAME.
 * The name is what tells the toolkit's interfaces apart from the system's: a dialog's own
 * caption, where its title bar text is the tool's name. Then each STEP, in the window that
 * is current (at first the main window):
 *   click:X,Y   clicks the client point X,Y (a negative number counts from the right or
 *               bottom edge: a message box is as wide as its text)
 *   type:TEXT   types TEXT where the focus is
 *   main        makes the main window current again
 *   NAME        waits for the tool's next new window, clicking the last point again every
 *               second meanwhile (a window may not take clicks yet), and checks it as above;
 *               it becomes current
 * uiautomationcore is loaded at run time: mingw-w64 has no import library for it. */
#include <windows.h>

#include <oleauto.h>
#include <stdio.h>
#include <wchar.h>

#define WAIT_STEP_MS 100
#define WINDOW_WAIT_MS 30000
#define CLICK_AGAIN_MS 1000
#define MAX_WINDOWS 64

/* UI Automation's property and control type identifiers. */
#define NAME_PROPERTY 30005
#define CONTROL_TYPE_PROPERTY 30003
#define FRAMEWORK_PROPERTY 30024
#define WINDOW_CONTROL_TYPE 50032

typedef void* UiaNode;
typedef HRESULT(WINAPI* NodeFromHandleFn)(HWND, UiaNode*);
typedef HRESULT(WINAPI* GetPropertyValueFn)(UiaNode, int, VARIANT*);
typedef BOOL(WINAPI* NodeReleaseFn)(UiaNode);

static NodeFromHandleFn node_from_handle;
static GetPropertyValueFn get_property_value;
static NodeReleaseFn node_release;

static DWORD tool_process;
static const WCHAR* tool_title;
static HWND seen[MAX_WINDOWS];
static size_t seen_count;

static void print_utf8(const WCHAR* text) {
    char buffer[1024];
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, sizeof buffer, NULL, NULL);
    if (n > 1)
        fwrite(buffer, 1, (size_t)n - 1, stdout);
}

static int fail(const char* what) {
    printf("uia-check: %s\n", what);
    fflush(stdout);
    return 1;
}

static BOOL load_uia(void) {
    HMODULE uia = LoadLibraryW(L"uiautomationcore.dll");
    if (uia == NULL)
        return FALSE;
    node_from_handle = (NodeFromHandleFn)(void (*)(void))GetProcAddress(uia, "UiaNodeFromHandle");
    get_property_value =
        (GetPropertyValueFn)(void (*)(void))GetProcAddress(uia, "UiaGetPropertyValue");
    node_release = (NodeReleaseFn)(void (*)(void))GetProcAddress(uia, "UiaNodeRelease");
    return node_from_handle != NULL && get_property_value != NULL && node_release != NULL;
}

static BOOL was_seen(HWND window) {
    for (size_t i = 0; i < seen_count; ++i)
        if (seen[i] == window)
            return TRUE;
    return FALSE;
}

/* The first shown top-level window of the tool not checked yet. Every window of the tool
 * has the tool's title bar text; the virtual key's panel, for one, has not. */
static BOOL CALLBACK pick_new(HWND window, LPARAM found) {
    DWORD process = 0;
    WCHAR title[256];
    GetWindowThreadProcessId(window, &process);
    if (process != tool_process || !IsWindowVisible(window) || was_seen(window) ||
        GetWindowTextW(window, title, 256) == 0 || wcscmp(title, tool_title) != 0)
        return TRUE;
    *(HWND*)found = window;
    return FALSE;
}

/* A text property; empty when UI Automation gives none. */
static void text_property(UiaNode node, int property, WCHAR* text, size_t units) {
    VARIANT value;
    VariantInit(&value);
    text[0] = 0;
    if (SUCCEEDED(get_property_value(node, property, &value)) && V_VT(&value) == VT_BSTR &&
        V_BSTR(&value) != NULL)
        wcsncpy(text, V_BSTR(&value), units - 1);
    text[units - 1] = 0;
    VariantClear(&value);
}

static int check(HWND window, const WCHAR* expected) {
    WCHAR title[256], name[256], framework[64];
    UiaNode node = NULL;
    VARIANT type;
    if (seen_count < MAX_WINDOWS)
        seen[seen_count++] = window;
    GetWindowTextW(window, title, 256);
    HRESULT hr = node_from_handle(window, &node);
    if (FAILED(hr)) {
        printf("uia-check: UiaNodeFromHandle failed (0x%08lx)\n", (unsigned long)hr);
        return 1;
    }
    text_property(node, NAME_PROPERTY, name, 256);
    text_property(node, FRAMEWORK_PROPERTY, framework, 64);
    VariantInit(&type);
    get_property_value(node, CONTROL_TYPE_PROPERTY, &type);
    node_release(node);
    printf("uia-check: window \"");
    print_utf8(title);
    printf("\": %s named \"", V_VT(&type) == VT_I4 && V_I4(&type) == WINDOW_CONTROL_TYPE
                                  ? "a window"
                                  : "not a window");
    print_utf8(name);
    printf("\" by \"");
    print_utf8(framework);
    printf("\"\n");
    fflush(stdout);
    int problems = 0;
    if (wcscmp(name, expected) != 0)
        problems += fail("  the name is not the expected one");
    if (wcscmp(framework, L"Qt") != 0)
        problems += fail("  the tool's own interface did not answer");
    if (V_VT(&type) != VT_I4 || V_I4(&type) != WINDOW_CONTROL_TYPE)
        problems += fail("  the control type is not a window's");
    return problems;
}

static HWND current;
static int click_x, click_y;
static BOOL clicked;

static void click(void) {
    RECT client;
    GetClientRect(current, &client);
    int x = click_x < 0 ? client.right + click_x : click_x;
    int y = click_y < 0 ? client.bottom + click_y : click_y;
    LPARAM at = MAKELPARAM(x, y);
    PostMessageW(current, WM_MOUSEMOVE, 0, at);
    PostMessageW(current, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(current, WM_LBUTTONUP, 0, at);
}

static void type(const WCHAR* text) {
    for (; *text != 0; ++text)
        PostMessageW(current, WM_CHAR, *text, 1);
}

static HWND next_window(void) {
    HWND opened = NULL;
    for (int waited = 0; waited < WINDOW_WAIT_MS && opened == NULL; waited += WAIT_STEP_MS) {
        if (clicked && waited > 0 && waited % CLICK_AGAIN_MS == 0)
            click();
        Sleep(WAIT_STEP_MS);
        EnumWindows(pick_new, (LPARAM)&opened);
    }
    return opened;
}

int wmain(int argc, WCHAR** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: kelvora-uia-check TITLE NAME [STEP]...\n");
        return 2;
    }
    if (!load_uia())
        return fail("uiautomationcore.dll lacks the node functions");
    tool_title = argv[1];
    HWND main_window = NULL;
    for (int waited = 0; waited < WINDOW_WAIT_MS && main_window == NULL; waited += WAIT_STEP_MS) {
        main_window = FindWindowW(NULL, argv[1]);
        if (main_window == NULL)
            Sleep(WAIT_STEP_MS);
    }
    if (main_window == NULL)
        return fail("the tool's window did not show");
    GetWindowThreadProcessId(main_window, &tool_process);
    CoInitializeEx(NULL, COINIT_MULTITHREADED);
    current = main_window;
    int problems = check(main_window, argv[2]);
    for (int i = 3; i < argc && problems == 0; ++i) {
        const WCHAR* step = argv[i];
        if (wcsncmp(step, L"click:", 6) == 0) {
            if (swscanf(step + 6, L"%d,%d", &click_x, &click_y) != 2)
                return fail("a point is X,Y");
            clicked = TRUE;
            click();
        } else if (wcsncmp(step, L"type:", 5) == 0) {
            type(step + 5);
            clicked = FALSE;
        } else if (wcscmp(step, L"main") == 0) {
            current = main_window;
            clicked = FALSE;
        } else {
            HWND opened = next_window();
            if (opened == NULL) {
                printf("uia-check: no window opened for \"");
                print_utf8(step);
                printf("\"\n");
                return 1;
            }
            current = opened;
            clicked = FALSE;
            problems += check(opened, step);
        }
    }
    if (problems != 0)
        return 1;
    printf("uia-check: passed\n");
    return 0;
}
