/* libfido2's custom I/O for the virtual key daemon's socket: one SOCK_SEQPACKET packet per
 * 64-byte report. Shared by the interoperability test and the command line's benchmark. */
#ifndef KELVORA_VKEY_SOCKET_IO_H
#define KELVORA_VKEY_SOCKET_IO_H

#include <fido.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The functions for fido_dev_set_io_functions; the device path is the socket's path. */
const fido_dev_io_t* vkey_socket_io(void);

#ifdef __cplusplus
}
#endif

#endif
