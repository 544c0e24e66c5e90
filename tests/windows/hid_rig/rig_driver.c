/* A HID minidriver for Wine that stands in for a security key. Each service built from this
 * file drives one root-enumerated device; the controller (rig_control.c) writes what the
 * device is (vendor, product, version, product string, pipe) into the device's hardware key
 * before the driver starts. Output reports go to, and input reports come from, a user-mode
 * process over two message-mode named pipes (NAME-out carries what the host writes, NAME-in
 * what the key answers): a CTAPHID answer may span many packets and keep-alives come
 * unasked, so the directions are independent.
 *
 * All drivers of Wine's plug-and-play group share one process, so nothing here blocks in a
 * dispatch routine: the pipes belong to a worker thread, and read requests wait in a queue
 * with a cancel routine until a report is there. */
#include <ntstatus.h>
#define WIN32_NO_STATUS
#include <stdarg.h>
#include <windef.h>
#include <winbase.h>
#include <winternl.h>
#include <winioctl.h>
#include <ddk/wdm.h>
#include <ddk/hidport.h>
#include <ddk/hidclass.h>

#define RIG_REPORT_SIZE 64
#define RIG_QUEUE_REPORTS 128
#define RIG_NAME_UNITS 96
#define RIG_STRING_ID_MANUFACTURER 14
#define RIG_STRING_ID_PRODUCT 15
#define RIG_STRING_ID_SERIAL 16
#define RIG_WINE_STRING_ID_MANUFACTURER 1
#define RIG_WINE_STRING_ID_PRODUCT 2
#define RIG_WINE_STRING_ID_SERIAL 3
#define RIG_REGKEY_DEVICE 1
#define RIG_OPEN_TRIES 40

/* The FIDO HID usage page, one 64-byte input and one 64-byte output report, no report id. */
static const UCHAR report_descriptor[] = {
    0x06, 0xD0, 0xF1, 0x09, 0x01, 0xA1, 0x01,
    0x09, 0x20, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x40, 0x81, 0x02,
    0x09, 0x21, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x40, 0x91, 0x02,
    0xC0,
};

/* GUID_DEVINTERFACE_USB_DEVICE: a real key is also a USB device, and the desktop tool
 * follows arrival and removal through that class. */
static const GUID usb_device_interface = {
    0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};

struct report_queue {
    UCHAR reports[RIG_QUEUE_REPORTS][RIG_REPORT_SIZE];
    ULONG head;
    ULONG count;
};

struct rig_device {
    DEVICE_OBJECT *pdo;
    DEVICE_OBJECT *next;
    ULONG vendor;
    ULONG product;
    ULONG version;
    ULONG usb_interface;
    WCHAR product_string[RIG_NAME_UNITS];
    WCHAR pipe[RIG_NAME_UNITS];
    UNICODE_STRING usb_link;
    BOOLEAN usb_link_enabled;
    /* Guarded by the cancel spin lock. */
    LIST_ENTRY pending_reads;
    struct report_queue input;
    struct report_queue output;
    BOOLEAN connected;
    BOOLEAN removed;
    /* The worker. */
    HANDLE wake;
    HANDLE thread;
    void *thread_object;
    volatile LONG stop;
};

static struct rig_device *rig_from(DEVICE_OBJECT *device) {
    return ((HID_DEVICE_EXTENSION *)device->DeviceExtension)->MiniDeviceExtension;
}

static BOOLEAN queue_push(struct report_queue *queue, const UCHAR *report) {
    if (queue->count == RIG_QUEUE_REPORTS) return FALSE;
    memcpy(queue->reports[(queue->head + queue->count) % RIG_QUEUE_REPORTS], report,
           RIG_REPORT_SIZE);
    queue->count++;
    return TRUE;
}

static BOOLEAN queue_pop(struct report_queue *queue, UCHAR *report) {
    if (queue->count == 0) return FALSE;
    memcpy(report, queue->reports[queue->head], RIG_REPORT_SIZE);
    queue->head = (queue->head + 1) % RIG_QUEUE_REPORTS;
    queue->count--;
    return TRUE;
}

/* Hands queued input to waiting read requests; called with the cancel lock held, returns
 * the requests to complete once it is released. */
static void match_reads(struct rig_device *rig, LIST_ENTRY *done) {
    while (!IsListEmpty(&rig->pending_reads) && rig->input.count > 0) {
        LIST_ENTRY *entry = RemoveHeadList(&rig->pending_reads);
        IRP *irp = CONTAINING_RECORD(entry, IRP, Tail.Overlay.ListEntry);
        IO_STACK_LOCATION *stack = IoGetCurrentIrpStackLocation(irp);
        IoSetCancelRoutine(irp, NULL);
        if (stack->Parameters.DeviceIoControl.OutputBufferLength < RIG_REPORT_SIZE) {
            irp->IoStatus.Status = STATUS_BUFFER_TOO_SMALL;
            irp->IoStatus.Information = 0;
        } else {
            queue_pop(&rig->input, irp->UserBuffer);
            irp->IoStatus.Status = STATUS_SUCCESS;
            irp->IoStatus.Information = RIG_REPORT_SIZE;
        }
        InsertTailList(done, &irp->Tail.Overlay.ListEntry);
    }
}

static void complete_all(LIST_ENTRY *done) {
    while (!IsListEmpty(done)) {
        LIST_ENTRY *entry = RemoveHeadList(done);
        IoCompleteRequest(CONTAINING_RECORD(entry, IRP, Tail.Overlay.ListEntry), IO_NO_INCREMENT);
    }
}

static void WINAPI cancel_read(DEVICE_OBJECT *device, IRP *irp) {
    (void)device;
    RemoveEntryList(&irp->Tail.Overlay.ListEntry);
    IoReleaseCancelSpinLock(irp->CancelIrql);
    irp->IoStatus.Status = STATUS_CANCELLED;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
}

static NTSTATUS open_pipe(const WCHAR *name, const WCHAR *suffix, ACCESS_MASK access,
                          HANDLE *handle) {
    WCHAR path[RIG_NAME_UNITS + 32] = L"\\??\\pipe\\";
    UNICODE_STRING string;
    OBJECT_ATTRIBUTES attributes;
    IO_STATUS_BLOCK io;
    wcscat(path, name);
    wcscat(path, suffix);
    RtlInitUnicodeString(&string, path);
    InitializeObjectAttributes(&attributes, &string, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE,
                               NULL, NULL);
    return ZwCreateFile(handle, access | SYNCHRONIZE, &attributes, &io, NULL, 0,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN, 0, NULL, 0);
}

static void set_connected(struct rig_device *rig, BOOLEAN connected) {
    KIRQL irql;
    IoAcquireCancelSpinLock(&irql);
    rig->connected = connected;
    if (!connected) rig->output.count = 0;
    IoReleaseCancelSpinLock(irql);
}

/* Waits for a transfer started on `handle` with `event`, giving up (and cancelling it) when
 * the device goes away; returns the transfer's status. */
static NTSTATUS finish_transfer(struct rig_device *rig, HANDLE handle, HANDLE event,
                                IO_STATUS_BLOCK *io, NTSTATUS started) {
    LARGE_INTEGER poll;
    poll.QuadPart = -10000LL * 50;
    if (started != STATUS_PENDING) return started;
    while (ZwWaitForSingleObject(event, FALSE, &poll) == STATUS_TIMEOUT) {
        if (rig->stop) {
            ZwCancelIoFile(handle, io);
            ZwWaitForSingleObject(event, FALSE, NULL);
            return STATUS_CANCELLED;
        }
    }
    return io->Status;
}

static void WINAPI worker(void *context) {
    struct rig_device *rig = context;
    HANDLE in = NULL, out = NULL, read_event = NULL, write_event = NULL;
    /* The pipe is read as the byte stream the driver's end of it is: a read takes whatever
     * the key has written so far, which after a burst (a many-packet answer) can end inside
     * a packet. Packets are put back together here, every one exactly 64 bytes. */
    UCHAR incoming[RIG_REPORT_SIZE];
    ULONG filled = 0;
    IO_STATUS_BLOCK read_io;
    LARGE_INTEGER retry, wait;
    BOOLEAN reading = FALSE;
    retry.QuadPart = -10000LL * 50;
    wait.QuadPart = -10000LL * 100;
    ZwCreateEvent(&read_event, EVENT_ALL_ACCESS, NULL, NotificationEvent, FALSE);
    ZwCreateEvent(&write_event, EVENT_ALL_ACCESS, NULL, NotificationEvent, FALSE);

    while (!rig->stop) {
        if (!in) {
            if (open_pipe(rig->pipe, L"-in", GENERIC_READ, &in) != STATUS_SUCCESS) {
                in = NULL;
                KeDelayExecutionThread(KernelMode, FALSE, &retry);
                continue;
            }
            /* The key listens on the second pipe once the first is taken: hold the first
             * a while rather than let go at once, or neither side would ever get both. */
            int tries = 0;
            while (open_pipe(rig->pipe, L"-out", GENERIC_WRITE, &out) != STATUS_SUCCESS) {
                out = NULL;
                if (rig->stop || ++tries > RIG_OPEN_TRIES) break;
                KeDelayExecutionThread(KernelMode, FALSE, &retry);
            }
            if (!out) {
                ZwClose(in);
                in = NULL;
                KeDelayExecutionThread(KernelMode, FALSE, &retry);
                continue;
            }
            set_connected(rig, TRUE);
        }
        if (!reading) {
            NTSTATUS status = ZwReadFile(in, read_event, NULL, NULL, &read_io, incoming + filled,
                                         RIG_REPORT_SIZE - filled, NULL, NULL);
            if (status != STATUS_PENDING && status != STATUS_SUCCESS &&
                status != STATUS_BUFFER_OVERFLOW)
                goto disconnect;
            reading = TRUE;
        }
        {
            HANDLE events[2] = {read_event, rig->wake};
            NTSTATUS woke = ZwWaitForMultipleObjects(2, events, WaitAny, FALSE, &wait);
            if (woke == STATUS_WAIT_0) {
                reading = FALSE;
                if (read_io.Status != STATUS_SUCCESS && read_io.Status != STATUS_BUFFER_OVERFLOW)
                    goto disconnect;
                filled += (ULONG)read_io.Information;
                if (filled == RIG_REPORT_SIZE) {
                    filled = 0;
                    LIST_ENTRY done;
                    KIRQL irql;
                    InitializeListHead(&done);
                    IoAcquireCancelSpinLock(&irql);
                    /* A host that stops reading loses the oldest reports, as a real one
                     * would overrun its ring buffer. */
                    if (!queue_push(&rig->input, incoming)) {
                        UCHAR dropped[RIG_REPORT_SIZE];
                        queue_pop(&rig->input, dropped);
                        queue_push(&rig->input, incoming);
                    }
                    match_reads(rig, &done);
                    IoReleaseCancelSpinLock(irql);
                    complete_all(&done);
                }
            }
        }
        for (;;) {
            UCHAR report[RIG_REPORT_SIZE];
            IO_STATUS_BLOCK write_io;
            KIRQL irql;
            BOOLEAN have;
            NTSTATUS status;
            IoAcquireCancelSpinLock(&irql);
            have = queue_pop(&rig->output, report);
            IoReleaseCancelSpinLock(irql);
            if (!have) break;
            status = ZwWriteFile(out, write_event, NULL, NULL, &write_io, report, sizeof report,
                                 NULL, NULL);
            if (finish_transfer(rig, out, write_event, &write_io, status) != STATUS_SUCCESS)
                goto disconnect;
        }
        continue;
    disconnect:
        set_connected(rig, FALSE);
        if (reading) {
            ZwCancelIoFile(in, &read_io);
            ZwWaitForSingleObject(read_event, FALSE, NULL);
            reading = FALSE;
        }
        ZwClose(in);
        ZwClose(out);
        in = out = NULL;
        filled = 0;
        KeDelayExecutionThread(KernelMode, FALSE, &retry);
    }
    if (reading) {
        ZwCancelIoFile(in, &read_io);
        ZwWaitForSingleObject(read_event, FALSE, NULL);
    }
    if (in) ZwClose(in);
    if (out) ZwClose(out);
    set_connected(rig, FALSE);
    ZwClose(read_event);
    ZwClose(write_event);
    PsTerminateSystemThread(STATUS_SUCCESS);
}

static void read_string(HANDLE key, const WCHAR *name, WCHAR *value) {
    UCHAR buffer[sizeof(KEY_VALUE_PARTIAL_INFORMATION) + RIG_NAME_UNITS * sizeof(WCHAR)];
    KEY_VALUE_PARTIAL_INFORMATION *info = (KEY_VALUE_PARTIAL_INFORMATION *)buffer;
    UNICODE_STRING string;
    DWORD size = 0;
    RtlInitUnicodeString(&string, name);
    value[0] = 0;
    if (ZwQueryValueKey(key, &string, KeyValuePartialInformation, buffer, sizeof buffer - 2,
                        &size) != STATUS_SUCCESS ||
        info->Type != REG_SZ)
        return;
    ULONG units = info->DataLength / sizeof(WCHAR);
    if (units >= RIG_NAME_UNITS) units = RIG_NAME_UNITS - 1;
    memcpy(value, info->Data, units * sizeof(WCHAR));
    value[units] = 0;
}

static ULONG read_number(HANDLE key, const WCHAR *name, ULONG fallback) {
    UCHAR buffer[sizeof(KEY_VALUE_PARTIAL_INFORMATION) + sizeof(ULONG)];
    KEY_VALUE_PARTIAL_INFORMATION *info = (KEY_VALUE_PARTIAL_INFORMATION *)buffer;
    UNICODE_STRING string;
    DWORD size = 0;
    ULONG value;
    RtlInitUnicodeString(&string, name);
    if (ZwQueryValueKey(key, &string, KeyValuePartialInformation, buffer, sizeof buffer,
                        &size) != STATUS_SUCCESS ||
        info->Type != REG_DWORD)
        return fallback;
    memcpy(&value, info->Data, sizeof value);
    return value;
}

static NTSTATUS WINAPI add_device(DRIVER_OBJECT *driver, DEVICE_OBJECT *fdo) {
    HID_DEVICE_EXTENSION *hid = fdo->DeviceExtension;
    struct rig_device *rig = hid->MiniDeviceExtension;
    HANDLE key;
    (void)driver;
    memset(rig, 0, sizeof *rig);
    rig->pdo = hid->PhysicalDeviceObject;
    rig->next = hid->NextDeviceObject;
    InitializeListHead(&rig->pending_reads);
    if (IoOpenDeviceRegistryKey(rig->pdo, RIG_REGKEY_DEVICE, KEY_READ, &key) == STATUS_SUCCESS) {
        rig->vendor = read_number(key, L"RigVendor", 0x1209);
        rig->product = read_number(key, L"RigProduct", 0x0001);
        rig->version = read_number(key, L"RigVersion", 0x0100);
        rig->usb_interface = read_number(key, L"RigUsbInterface", 0);
        read_string(key, L"RigProductString", rig->product_string);
        read_string(key, L"RigPipe", rig->pipe);
        ZwClose(key);
    }
    fdo->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

static void start_rig(struct rig_device *rig) {
    if (rig->usb_interface &&
        IoRegisterDeviceInterface(rig->pdo, &usb_device_interface, NULL, &rig->usb_link) ==
            STATUS_SUCCESS)
        rig->usb_link_enabled = IoSetDeviceInterfaceState(&rig->usb_link, TRUE) == STATUS_SUCCESS;
    if (!rig->pipe[0] || rig->thread) return;
    rig->stop = 0;
    ZwCreateEvent(&rig->wake, EVENT_ALL_ACCESS, NULL, SynchronizationEvent, FALSE);
    if (PsCreateSystemThread(&rig->thread, THREAD_ALL_ACCESS, NULL, NULL, NULL, worker, rig) ==
        STATUS_SUCCESS)
        ObReferenceObjectByHandle(rig->thread, SYNCHRONIZE, NULL, KernelMode,
                                  &rig->thread_object, NULL);
}

/* The driver may be unloaded right after removal: the worker must have ended by then. */
static void stop_rig(struct rig_device *rig) {
    LIST_ENTRY done;
    KIRQL irql;
    InitializeListHead(&done);
    if (rig->thread) {
        InterlockedExchange(&rig->stop, 1);
        ZwSetEvent(rig->wake, NULL);
        if (rig->thread_object) {
            KeWaitForSingleObject(rig->thread_object, Executive, KernelMode, FALSE, NULL);
            ObDereferenceObject(rig->thread_object);
            rig->thread_object = NULL;
        }
        ZwClose(rig->thread);
        rig->thread = NULL;
        ZwClose(rig->wake);
        rig->wake = NULL;
    }
    if (rig->usb_link_enabled) {
        IoSetDeviceInterfaceState(&rig->usb_link, FALSE);
        rig->usb_link_enabled = FALSE;
    }
    IoAcquireCancelSpinLock(&irql);
    rig->removed = TRUE;
    while (!IsListEmpty(&rig->pending_reads)) {
        LIST_ENTRY *entry = RemoveHeadList(&rig->pending_reads);
        IRP *irp = CONTAINING_RECORD(entry, IRP, Tail.Overlay.ListEntry);
        IoSetCancelRoutine(irp, NULL);
        irp->IoStatus.Status = STATUS_DELETE_PENDING;
        irp->IoStatus.Information = 0;
        InsertTailList(&done, entry);
    }
    IoReleaseCancelSpinLock(irql);
    complete_all(&done);
}

static NTSTATUS WINAPI dispatch_pnp(DEVICE_OBJECT *device, IRP *irp) {
    struct rig_device *rig = rig_from(device);
    IO_STACK_LOCATION *stack = IoGetCurrentIrpStackLocation(irp);
    switch (stack->MinorFunction) {
    case IRP_MN_START_DEVICE:
        start_rig(rig);
        irp->IoStatus.Status = STATUS_SUCCESS;
        break;
    case IRP_MN_SURPRISE_REMOVAL:
    case IRP_MN_REMOVE_DEVICE:
    case IRP_MN_STOP_DEVICE:
        stop_rig(rig);
        irp->IoStatus.Status = STATUS_SUCCESS;
        break;
    case IRP_MN_QUERY_REMOVE_DEVICE:
    case IRP_MN_QUERY_STOP_DEVICE:
    case IRP_MN_CANCEL_REMOVE_DEVICE:
    case IRP_MN_CANCEL_STOP_DEVICE:
        irp->IoStatus.Status = STATUS_SUCCESS;
        break;
    default:
        break;
    }
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(rig->next, irp);
}

static NTSTATUS WINAPI dispatch_power(DEVICE_OBJECT *device, IRP *irp) {
    struct rig_device *rig = rig_from(device);
    PoStartNextPowerIrp(irp);
    IoSkipCurrentIrpStackLocation(irp);
    return PoCallDriver(rig->next, irp);
}

static NTSTATUS copy_out(IRP *irp, ULONG capacity, const void *data, ULONG size) {
    if (capacity < size) return STATUS_BUFFER_TOO_SMALL;
    memcpy(irp->UserBuffer, data, size);
    irp->IoStatus.Information = size;
    return STATUS_SUCCESS;
}

static NTSTATUS answer_string(struct rig_device *rig, IRP *irp, ULONG capacity) {
    IO_STACK_LOCATION *stack = IoGetCurrentIrpStackLocation(irp);
    const WCHAR *text;
    /* The string id is the value itself (the language in the high word). Windows numbers
     * them 14, 15 and 16; Wine 8's HID class 1, 2 and 3. */
    switch (LOWORD((ULONG_PTR)stack->Parameters.DeviceIoControl.Type3InputBuffer)) {
    case RIG_STRING_ID_MANUFACTURER:
    case RIG_WINE_STRING_ID_MANUFACTURER:
        text = L"Kelvora Test Rig";
        break;
    case RIG_STRING_ID_PRODUCT:
    case RIG_WINE_STRING_ID_PRODUCT:
        text = rig->product_string;
        break;
    case RIG_STRING_ID_SERIAL:
    case RIG_WINE_STRING_ID_SERIAL:
        text = L"0000";
        break;
    default:
        return STATUS_INVALID_PARAMETER;
    }
    return copy_out(irp, capacity, text, (wcslen(text) + 1) * sizeof(WCHAR));
}

static NTSTATUS queue_read(struct rig_device *rig, IRP *irp) {
    LIST_ENTRY done;
    KIRQL irql;
    InitializeListHead(&done);
    IoAcquireCancelSpinLock(&irql);
    if (rig->removed) {
        IoReleaseCancelSpinLock(irql);
        irp->IoStatus.Status = STATUS_DELETE_PENDING;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
        return STATUS_DELETE_PENDING;
    }
    IoSetCancelRoutine(irp, cancel_read);
    if (irp->Cancel && IoSetCancelRoutine(irp, NULL)) {
        IoReleaseCancelSpinLock(irql);
        irp->IoStatus.Status = STATUS_CANCELLED;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
        return STATUS_CANCELLED;
    }
    IoMarkIrpPending(irp);
    InsertTailList(&rig->pending_reads, &irp->Tail.Overlay.ListEntry);
    match_reads(rig, &done);
    IoReleaseCancelSpinLock(irql);
    complete_all(&done);
    return STATUS_PENDING;
}

static NTSTATUS take_write(struct rig_device *rig, IRP *irp) {
    HID_XFER_PACKET *packet = irp->UserBuffer;
    UCHAR report[RIG_REPORT_SIZE] = {0};
    NTSTATUS status = STATUS_SUCCESS;
    KIRQL irql;
    const UCHAR *data;
    ULONG size;
    if (!packet || !packet->reportBuffer) return STATUS_INVALID_PARAMETER;
    data = packet->reportBuffer;
    size = packet->reportBufferLen;
    /* Without report ids the class passes 64 bytes; tolerate a leading id 0 as well. */
    if (size == RIG_REPORT_SIZE + 1 && data[0] == 0) {
        data++;
        size--;
    }
    if (size == 0 || size > RIG_REPORT_SIZE) return STATUS_INVALID_PARAMETER;
    memcpy(report, data, size);
    IoAcquireCancelSpinLock(&irql);
    if (!rig->pipe[0]) {
        /* Another vendor's device: takes everything, answers nothing. */
    } else if (!rig->connected) {
        status = STATUS_DEVICE_NOT_CONNECTED;
    } else if (!queue_push(&rig->output, report)) {
        status = STATUS_DEVICE_BUSY;
    }
    IoReleaseCancelSpinLock(irql);
    if (status == STATUS_SUCCESS) {
        if (rig->wake) ZwSetEvent(rig->wake, NULL);
        /* The HID class took the report id off; a real key's stack counts it in what was
         * written, and clients check for the whole report. */
        irp->IoStatus.Information = RIG_REPORT_SIZE + 1;
    }
    return status;
}

static NTSTATUS WINAPI dispatch_internal(DEVICE_OBJECT *device, IRP *irp) {
    struct rig_device *rig = rig_from(device);
    IO_STACK_LOCATION *stack = IoGetCurrentIrpStackLocation(irp);
    ULONG capacity = stack->Parameters.DeviceIoControl.OutputBufferLength;
    NTSTATUS status;
    irp->IoStatus.Information = 0;
    switch (stack->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_HID_GET_DEVICE_DESCRIPTOR: {
        HID_DESCRIPTOR descriptor;
        memset(&descriptor, 0, sizeof descriptor);
        descriptor.bLength = sizeof descriptor;
        descriptor.bDescriptorType = HID_HID_DESCRIPTOR_TYPE;
        descriptor.bcdHID = 0x0111;
        descriptor.bNumDescriptors = 1;
        descriptor.DescriptorList[0].bReportType = HID_REPORT_DESCRIPTOR_TYPE;
        descriptor.DescriptorList[0].wReportLength = sizeof report_descriptor;
        status = copy_out(irp, capacity, &descriptor, sizeof descriptor);
        break;
    }
    case IOCTL_HID_GET_REPORT_DESCRIPTOR:
        status = copy_out(irp, capacity, report_descriptor, sizeof report_descriptor);
        break;
    case IOCTL_HID_GET_DEVICE_ATTRIBUTES: {
        HID_DEVICE_ATTRIBUTES attributes;
        memset(&attributes, 0, sizeof attributes);
        attributes.Size = sizeof attributes;
        attributes.VendorID = (USHORT)rig->vendor;
        attributes.ProductID = (USHORT)rig->product;
        attributes.VersionNumber = (USHORT)rig->version;
        status = copy_out(irp, capacity, &attributes, sizeof attributes);
        break;
    }
    case IOCTL_HID_GET_STRING:
        status = answer_string(rig, irp, capacity);
        break;
    case IOCTL_HID_READ_REPORT:
        return queue_read(rig, irp);
    case IOCTL_HID_WRITE_REPORT:
    case IOCTL_HID_SET_OUTPUT_REPORT:
        status = take_write(rig, irp);
        break;
    default:
        status = STATUS_NOT_SUPPORTED;
        break;
    }
    irp->IoStatus.Status = status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static void WINAPI driver_unload(DRIVER_OBJECT *driver) {
    (void)driver;
}

NTSTATUS WINAPI DriverEntry(DRIVER_OBJECT *driver, UNICODE_STRING *registry) {
    HID_MINIDRIVER_REGISTRATION registration;
    driver->MajorFunction[IRP_MJ_PNP] = dispatch_pnp;
    driver->MajorFunction[IRP_MJ_POWER] = dispatch_power;
    driver->MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL] = dispatch_internal;
    driver->DriverExtension->AddDevice = add_device;
    driver->DriverUnload = driver_unload;
    memset(&registration, 0, sizeof registration);
    registration.Revision = HID_REVISION;
    registration.DriverObject = driver;
    registration.RegistryPath = registry;
    registration.DeviceExtensionSize = sizeof(struct rig_device);
    registration.DevicesArePolled = FALSE;
    return HidRegisterMinidriver(&registration);
}
