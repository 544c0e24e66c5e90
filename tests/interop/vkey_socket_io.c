#include "vkey_socket_io.h"

#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#define PACKET_SIZE 64

static void* io_open(const char* path) {
    struct sockaddr_un address;
    memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    strncpy(address.sun_path, path, sizeof address.sun_path - 1);
    int* fd = malloc(sizeof *fd);
    if (fd == NULL) {
        return NULL;
    }
    *fd = socket(AF_UNIX, SOCK_SEQPACKET, 0);
    if (*fd < 0 || connect(*fd, (struct sockaddr*)&address, sizeof address) != 0) {
        if (*fd >= 0) {
            close(*fd);
        }
        free(fd);
        return NULL;
    }
    return fd;
}

static void io_close(void* handle) {
    close(*(int*)handle);
    free(handle);
}

static int io_read(void* handle, unsigned char* buf, size_t len, int ms) {
    int fd = *(int*)handle;
    struct timeval timeout = {0, 0};
    if (ms >= 0) {
        timeout.tv_sec = ms / 1000;
        timeout.tv_usec = (ms % 1000) * 1000;
    }
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    unsigned char packet[PACKET_SIZE];
    ssize_t n = recv(fd, packet, sizeof packet, 0);
    if (n != PACKET_SIZE || len < PACKET_SIZE) {
        return -1;
    }
    memcpy(buf, packet, PACKET_SIZE);
    return PACKET_SIZE;
}

/* libfido2 writes a HID report: the report id first, then the 64-byte packet. */
static int io_write(void* handle, const unsigned char* buf, size_t len) {
    if (len != PACKET_SIZE + 1) {
        return -1;
    }
    if (send(*(int*)handle, buf + 1, PACKET_SIZE, MSG_NOSIGNAL) != PACKET_SIZE) {
        return -1;
    }
    return (int)len;
}

const fido_dev_io_t* vkey_socket_io(void) {
    static const fido_dev_io_t io = {io_open, io_close, io_read, io_write};
    return &io;
}
