/* Plugs and unplugs the rig's keys inside a Wine prefix.
 *   kelvora-hid-rig plug SLOT DRIVER.sys VID PID VERSION PRODUCT PIPE USB
 *   kelvora-hid-rig plug SLOT             (again, as last time)
 *   kelvora-hid-rig unplug SLOT
 *   kelvora-hid-rig ping SLOT
 *   kelvora-hid-rig chatter SLOT SECONDS
 * A slot is one root device with its own copy of the driver under its own service: Wine
 * looks for a driver's root devices only when the driver starts, so a key is plugged by
 * starting its service and unplugged by removing its device and stopping the service,
 * which leaves the other slots' keys alone. `ping` checks that a plugged key answers. The device's instance id spells the vendor and
 * product ids, because the HID path is made from it. PIPE "-" gives a device with no key
 * behind it (another vendor's device, say). Both commands wait until the HID interface has
 * appeared or gone, and print its path. */
#include <windows.h>
#include <cfgmgr32.h>
#include <hidsdi.h>
#include <newdev.h>
#include <setupapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#define WAIT_STEP_MS 50
#define WAIT_LIMIT_MS 15000

static const GUID system_class = {
    0x4d36e97d, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

static int fail(const char *what) {
    fprintf(stderr, "kelvora-hid-rig: %s failed (error %lu)\n", what, GetLastError());
    return 1;
}

static void hardware_id(int slot, WCHAR *id, size_t units) {
    swprintf(id, units, L"kelvora_rig\\slot%d", slot);
}

static void service_name(int slot, WCHAR *name, size_t units) {
    swprintf(name, units, L"kelvora_rig%d", slot);
}

/* The HID interface path of `slot`'s key, or an empty string when it is not there. */
static void find_interface(int slot, char *found, size_t size) {
    GUID hid;
    char suffix[16];
    HidD_GetHidGuid(&hid);
    found[0] = 0;
    snprintf(suffix, sizeof suffix, "#%04d#", slot);
    HDEVINFO set = SetupDiGetClassDevsA(&hid, NULL, NULL, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return;
    for (DWORD i = 0;; ++i) {
        SP_DEVICE_INTERFACE_DATA data = {sizeof data};
        char buffer[1024];
        SP_DEVICE_INTERFACE_DETAIL_DATA_A *detail = (SP_DEVICE_INTERFACE_DETAIL_DATA_A *)buffer;
        if (!SetupDiEnumDeviceInterfaces(set, NULL, &hid, i, &data)) break;
        detail->cbSize = sizeof *detail;
        if (!SetupDiGetDeviceInterfaceDetailA(set, &data, detail, sizeof buffer, NULL, NULL))
            continue;
        char lower[1024];
        size_t n = 0;
        for (; detail->DevicePath[n] && n + 1 < sizeof lower; ++n)
            lower[n] = (char)tolower((unsigned char)detail->DevicePath[n]);
        lower[n] = 0;
        if (strstr(lower, "#vid_") && strstr(lower, suffix)) {
            snprintf(found, size, "%s", detail->DevicePath);
            break;
        }
    }
    SetupDiDestroyDeviceInfoList(set);
}

static int wait_for(int slot, BOOL present) {
    char path[1024];
    for (int waited = 0; waited <= WAIT_LIMIT_MS; waited += WAIT_STEP_MS) {
        find_interface(slot, path, sizeof path);
        if ((path[0] != 0) == present) {
            if (present) printf("plugged %s\n", path);
            else printf("unplugged %d\n", slot);
            return 0;
        }
        Sleep(WAIT_STEP_MS);
    }
    fprintf(stderr, "kelvora-hid-rig: slot %d did not %s\n", slot, present ? "appear" : "go");
    return 1;
}

static int write_inf(int slot, WCHAR *inf, size_t units) {
    WCHAR folder[MAX_PATH], service[64], id[64];
    GetWindowsDirectoryW(folder, MAX_PATH);
    wcscat(folder, L"\\inf\\");
    service_name(slot, service, 64);
    hardware_id(slot, id, 64);
    swprintf(inf, units, L"%lskelvora_rig%d.inf", folder, slot);
    FILE *file = _wfopen(inf, L"w");
    if (!file) return fail("writing the INF");
    fwprintf(file,
             L"[Version]\nSignature=\"$CHICAGO$\"\nClass=System\n"
             L"ClassGuid={4d36e97d-e325-11ce-bfc1-08002be10318}\nProvider=Kelvora\n\n"
             L"[Manufacturer]\nKelvora=rig\n\n[rig]\nrig key=install,%ls\n\n"
             L"[install]\nCopyFiles=none\n\n[none]\n\n[install.Services]\nAddService=%ls,0x2,service\n\n"
             L"[service]\nServiceType=1\nStartType=3\nErrorControl=1\n"
             L"ServiceBinary=%%12%%\\%ls.sys\nLoadOrderGroup=WinePlugPlay\n",
             id, service, service);
    fclose(file);
    return 0;
}

static void set_value(HKEY key, const WCHAR *name, DWORD value) {
    RegSetValueExW(key, name, 0, REG_DWORD, (const BYTE *)&value, sizeof value);
}

#define PLUG_ARGUMENTS 10
#define REMEMBERED_UNITS 2048

/* A slot's plug arguments are kept in the registry, so that `plug SLOT` alone (from a test
 * program, say) puts back what was there. */
static void remembered_key(int slot, WCHAR *key, size_t units) {
    swprintf(key, units, L"Software\\Kelvora\\HidRig\\slot%d", slot);
}

static void remember(int slot, WCHAR **argv) {
    WCHAR key[64], list[REMEMBERED_UNITS];
    size_t used = 0;
    remembered_key(slot, key, 64);
    for (int i = 3; i < PLUG_ARGUMENTS; ++i) {
        size_t length = wcslen(argv[i]) + 1;
        if (used + length + 1 > REMEMBERED_UNITS) return;
        memcpy(list + used, argv[i], length * sizeof(WCHAR));
        used += length;
    }
    list[used++] = 0;
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, key, L"Arguments", REG_MULTI_SZ, list,
                    (DWORD)(used * sizeof(WCHAR)));
}

static WCHAR remembered[REMEMBERED_UNITS];

static int recall(int slot, WCHAR **argv) {
    WCHAR key[64];
    DWORD size = sizeof remembered - 2 * sizeof(WCHAR);
    remembered_key(slot, key, 64);
    memset(remembered, 0, sizeof remembered);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key, L"Arguments", RRF_RT_REG_MULTI_SZ, NULL,
                     remembered, &size) != ERROR_SUCCESS)
        return 0;
    WCHAR *next = remembered;
    for (int i = 3; i < PLUG_ARGUMENTS; ++i) {
        if (!*next) return 0;
        argv[i] = next;
        next += wcslen(next) + 1;
    }
    return 1;
}

static int plug(int argc, WCHAR **argv) {
    WCHAR *recalled[PLUG_ARGUMENTS];
    if (argc == 3) {
        recalled[0] = argv[0];
        recalled[1] = argv[1];
        recalled[2] = argv[2];
        if (!recall(_wtoi(argv[2]), recalled)) {
            fprintf(stderr, "kelvora-hid-rig: slot %ls was never plugged\n", argv[2]);
            return 2;
        }
        argv = recalled;
        argc = PLUG_ARGUMENTS;
    }
    if (argc != PLUG_ARGUMENTS) {
        fprintf(stderr, "usage: plug SLOT [DRIVER VID PID VERSION PRODUCT PIPE USB]\n");
        return 2;
    }
    remember(_wtoi(argv[2]), argv);
    int slot = _wtoi(argv[2]);
    DWORD vid = wcstoul(argv[4], NULL, 16), pid = wcstoul(argv[5], NULL, 16);
    DWORD version = wcstoul(argv[6], NULL, 16), usb = wcstoul(argv[9], NULL, 10);
    const WCHAR *pipe = wcscmp(argv[8], L"-") == 0 ? L"" : argv[8];
    WCHAR target[MAX_PATH], instance[128], id[64], inf[MAX_PATH];
    GetSystemDirectoryW(target, MAX_PATH);
    swprintf(target + wcslen(target), MAX_PATH - wcslen(target), L"\\drivers\\kelvora_rig%d.sys",
             slot);
    if (!CopyFileW(argv[3], target, FALSE)) return fail("copying the driver");
    if (write_inf(slot, inf, MAX_PATH)) return 1;
    hardware_id(slot, id, 64);
    swprintf(instance, 128, L"ROOT\\VID_%04lX&PID_%04lX\\%04d", vid, pid, slot);

    HDEVINFO set = SetupDiCreateDeviceInfoList(&system_class, NULL);
    SP_DEVINFO_DATA device = {sizeof device};
    if (set == INVALID_HANDLE_VALUE) return fail("SetupDiCreateDeviceInfoList");
    if (!SetupDiCreateDeviceInfoW(set, instance, &system_class, NULL, NULL, 0, &device))
        return fail("SetupDiCreateDeviceInfoW (is the slot plugged already?)");
    WCHAR ids[80] = {0};
    wcscpy(ids, id);
    if (!SetupDiSetDeviceRegistryPropertyW(set, &device, SPDRP_HARDWAREID, (const BYTE *)ids,
                                           (DWORD)((wcslen(ids) + 2) * sizeof(WCHAR))))
        return fail("setting the hardware id");
    if (!SetupDiCallClassInstaller(DIF_REGISTERDEVICE, set, &device))
        return fail("DIF_REGISTERDEVICE");
    HKEY key = SetupDiCreateDevRegKeyW(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, NULL, NULL);
    if (key == INVALID_HANDLE_VALUE) return fail("the device key");
    set_value(key, L"RigVendor", vid);
    set_value(key, L"RigProduct", pid);
    set_value(key, L"RigVersion", version);
    set_value(key, L"RigUsbInterface", usb);
    RegSetValueExW(key, L"RigProductString", 0, REG_SZ, (const BYTE *)argv[7],
                   (DWORD)((wcslen(argv[7]) + 1) * sizeof(WCHAR)));
    RegSetValueExW(key, L"RigPipe", 0, REG_SZ, (const BYTE *)pipe,
                   (DWORD)((wcslen(pipe) + 1) * sizeof(WCHAR)));
    RegCloseKey(key);
    SetupDiDestroyDeviceInfoList(set);
    BOOL reboot = FALSE;
    if (!UpdateDriverForPlugAndPlayDevicesW(NULL, id, inf, INSTALLFLAG_FORCE, &reboot))
        return fail("UpdateDriverForPlugAndPlayDevicesW");
    return wait_for(slot, TRUE);
}

static int stop_service(int slot) {
    WCHAR name[64];
    service_name(slot, name, 64);
    SC_HANDLE manager = OpenSCManagerW(NULL, NULL, SC_MANAGER_ALL_ACCESS);
    if (!manager) return fail("OpenSCManagerW");
    SC_HANDLE service = OpenServiceW(manager, name, SERVICE_ALL_ACCESS);
    if (!service) {
        CloseServiceHandle(manager);
        return 0;
    }
    SERVICE_STATUS status;
    ControlService(service, SERVICE_CONTROL_STOP, &status);
    for (int waited = 0; waited <= WAIT_LIMIT_MS; waited += WAIT_STEP_MS) {
        if (!QueryServiceStatus(service, &status) || status.dwCurrentState == SERVICE_STOPPED) break;
        Sleep(WAIT_STEP_MS);
    }
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return status.dwCurrentState == SERVICE_STOPPED ? 0 : fail("stopping the service");
}

static int unplug(int argc, WCHAR **argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: unplug SLOT\n");
        return 2;
    }
    int slot = _wtoi(argv[2]);
    WCHAR id[64], found[256];
    hardware_id(slot, id, 64);
    HDEVINFO set = SetupDiGetClassDevsW(NULL, L"ROOT", NULL, DIGCF_ALLCLASSES);
    if (set == INVALID_HANDLE_VALUE) return fail("SetupDiGetClassDevsW");
    int removed = 0;
    for (DWORD i = 0;; ++i) {
        SP_DEVINFO_DATA device = {sizeof device};
        if (!SetupDiEnumDeviceInfo(set, i, &device)) break;
        if (!SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_HARDWAREID, NULL,
                                               (BYTE *)found, sizeof found, NULL) ||
            _wcsicmp(found, id) != 0)
            continue;
        if (!SetupDiCallClassInstaller(DIF_REMOVE, set, &device)) return fail("DIF_REMOVE");
        ++removed;
    }
    SetupDiDestroyDeviceInfoList(set);
    if (stop_service(slot)) return 1;
    return wait_for(slot, FALSE);
}

/* Sends a CTAPHID INIT to the slot's key and waits for its answer: proof that the whole way,
 * HID class to driver to pipes to key and back, is up. */
static int ping(int argc, WCHAR **argv) {
    static const BYTE nonce[8] = {0x4B, 0x56, 0x72, 0x69, 0x67, 0x21, 0x00, 0x01};
    if (argc != 3) {
        fprintf(stderr, "usage: ping SLOT\n");
        return 2;
    }
    int slot = _wtoi(argv[2]);
    char path[1024];
    find_interface(slot, path, sizeof path);
    if (!path[0]) return fail("finding the slot's interface");
    HANDLE device = CreateFileA(path, GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                                FILE_FLAG_OVERLAPPED, NULL);
    if (device == INVALID_HANDLE_VALUE) return fail("opening the interface");
    HANDLE event = CreateEventW(NULL, TRUE, FALSE, NULL);
    for (int attempt = 0; attempt < 40; ++attempt) {
        BYTE report[65] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0x86, 0, 8};
        OVERLAPPED overlapped = {0};
        DWORD bytes = 0;
        memcpy(report + 8, nonce, sizeof nonce);
        overlapped.hEvent = event;
        ResetEvent(event);
        if (!WriteFile(device, report, sizeof report, NULL, &overlapped) &&
            GetLastError() != ERROR_IO_PENDING) {
            Sleep(WAIT_STEP_MS * 5); /* the driver is still connecting to the key */
            continue;
        }
        GetOverlappedResult(device, &overlapped, &bytes, TRUE);
        for (int reads = 0; reads < 8; ++reads) {
            BYTE answer[65];
            ResetEvent(event);
            memset(&overlapped, 0, sizeof overlapped);
            overlapped.hEvent = event;
            if (!ReadFile(device, answer, sizeof answer, NULL, &overlapped) &&
                GetLastError() != ERROR_IO_PENDING)
                break;
            if (WaitForSingleObject(event, 250) != WAIT_OBJECT_0) {
                CancelIoEx(device, &overlapped);
                GetOverlappedResult(device, &overlapped, &bytes, TRUE);
                break;
            }
            if (GetOverlappedResult(device, &overlapped, &bytes, FALSE) && bytes >= 16 &&
                answer[5] == 0x86 && memcmp(answer + 8, nonce, sizeof nonce) == 0) {
                CloseHandle(event);
                CloseHandle(device);
                printf("answered %s\n", path);
                return 0;
            }
        }
    }
    CloseHandle(event);
    CloseHandle(device);
    fprintf(stderr, "kelvora-hid-rig: slot %d's key did not answer\n", slot);
    return 1;
}

static HANDLE open_slot(int slot) {
    char path[1024];
    find_interface(slot, path, sizeof path);
    if (!path[0]) return INVALID_HANDLE_VALUE;
    return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       NULL, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, NULL);
}

static BOOL write_report(HANDLE device, HANDLE event, const BYTE *report) {
    OVERLAPPED overlapped = {0};
    DWORD bytes = 0;
    overlapped.hEvent = event;
    ResetEvent(event);
    if (!WriteFile(device, report, 65, NULL, &overlapped) && GetLastError() != ERROR_IO_PENDING)
        return FALSE;
    return GetOverlappedResult(device, &overlapped, &bytes, TRUE) && bytes == 65;
}

/* Reads until a report for `channel` arrives: 1, or 0 when the time is up, -1 when the
 * device has gone. */
static int read_for(HANDLE device, HANDLE event, const BYTE *channel, BYTE *answer, DWORD ms) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        OVERLAPPED overlapped = {0};
        DWORD bytes = 0;
        overlapped.hEvent = event;
        ResetEvent(event);
        if (!ReadFile(device, answer, 65, NULL, &overlapped) && GetLastError() != ERROR_IO_PENDING)
            return -1;
        if (WaitForSingleObject(event, ms) != WAIT_OBJECT_0) {
            CancelIoEx(device, &overlapped);
            GetOverlappedResult(device, &overlapped, &bytes, TRUE);
            return 0;
        }
        if (!GetOverlappedResult(device, &overlapped, &bytes, FALSE)) return -1;
        if (bytes == 65 && memcmp(answer + 1, channel, 4) == 0) return 1;
    }
    return 0;
}

/* Another program on the same key, as a browser would be: it allocates its own channel and
 * pings on it and asks GetInfo for at most SECONDS, or until the key is pulled, while every
 * handle of the device sees every input report. Every answer must come back whole (or be
 * refused as busy while the key serves someone else). */
static int chatter(int argc, WCHAR **argv) {
    static const BYTE broadcast[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    static const BYTE nonce[8] = {0x63, 0x68, 0x61, 0x74, 0x74, 0x65, 0x72, 0x21};
    if (argc != 4) {
        fprintf(stderr, "usage: chatter SLOT SECONDS\n");
        return 2;
    }
    HANDLE device = open_slot(_wtoi(argv[2]));
    DWORD seconds = wcstoul(argv[3], NULL, 10);
    if (device == INVALID_HANDLE_VALUE) return fail("opening the key");
    HANDLE event = CreateEventW(NULL, TRUE, FALSE, NULL);
    BYTE report[65] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0x86, 0, 8};
    BYTE answer[65], channel[4];
    memcpy(report + 8, nonce, sizeof nonce);
    int found = 0;
    if (write_report(device, event, report)) {
        DWORD start = GetTickCount();
        while (!found && GetTickCount() - start < 3000 &&
               read_for(device, event, broadcast, answer, 3000) == 1)
            found = answer[5] == 0x86 && memcmp(answer + 8, nonce, sizeof nonce) == 0;
    }
    if (!found) return fail("allocating a channel");
    memcpy(channel, answer + 16, 4);
    unsigned answered = 0, busy = 0, lost = 0;
    DWORD start = GetTickCount();
    for (unsigned n = 0; GetTickCount() - start < seconds * 1000; ++n) {
        /* Every other request is a GetInfo, whose answer comes as a burst of packets: the
         * whole burst must reach every handle, in order. */
        const BOOL info = n % 2 == 1;
        BYTE request[65] = {0};
        memcpy(request + 1, channel, 4);
        request[5] = info ? 0x90 : 0x81;
        request[7] = info ? 1 : 16;
        if (info) request[8] = 0x04;
        else
            for (int i = 0; i < 16; ++i) request[8 + i] = (BYTE)(n + i);
        if (!write_report(device, event, request)) break; /* pulled */
        int got = read_for(device, event, channel, answer, 2000);
        if (got < 0) break;
        if (got == 0) ++lost;
        else if (answer[5] == 0xBF && answer[8] == 0x06) ++busy;
        else if (!info && answer[5] == 0x81 && memcmp(answer + 8, request + 8, 16) == 0)
            ++answered;
        else if (info && answer[5] == 0x90 && answer[8] == 0x00) {
            int length = answer[6] << 8 | answer[7], received = 57, whole = 1;
            for (BYTE sequence = 0; whole && received < length; ++sequence, received += 59) {
                got = read_for(device, event, channel, answer, 2000);
                whole = got == 1 && answer[5] == sequence;
            }
            if (got < 0) break;
            if (whole) ++answered;
            else ++lost;
        } else
            ++lost;
        Sleep(100);
    }
    CloseHandle(event);
    CloseHandle(device);
    printf("chatter: %u answered, %u busy, %u lost\n", answered, busy, lost);
    if (lost == 0 && answered > 0) printf("chatter: passed\n");
    return lost == 0 && answered > 0 ? 0 : 1;
}

int wmain(int argc, WCHAR **argv) {
    if (argc >= 2 && wcscmp(argv[1], L"chatter") == 0) return chatter(argc, argv);
    if (argc >= 2 && wcscmp(argv[1], L"ping") == 0) return ping(argc, argv);
    setvbuf(stdout, NULL, _IONBF, 0);
    if (argc >= 2 && wcscmp(argv[1], L"plug") == 0) return plug(argc, argv);
    if (argc >= 2 && wcscmp(argv[1], L"unplug") == 0) return unplug(argc, argv);
    fprintf(stderr, "usage: kelvora-hid-rig plug|unplug|ping SLOT ...\n");
    return 2;
}
