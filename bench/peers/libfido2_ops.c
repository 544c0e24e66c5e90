/* The operations the command line's benchmark compares, done through libfido2's public API
 * on the virtual key daemon's socket (custom I/O: one SOCK_SEQPACKET packet per report).
 *
 * Usage: libfido2_ops SOCKET setup PIN NAME...   set the PIN and enrol one template per NAME
 *        libfido2_ops SOCKET info                open, GetInfo, print the versions and options
 *        libfido2_ops SOCKET retries             open, print the PIN retries
 *        libfido2_ops SOCKET fingerprints PIN    open, PIN token, print the templates
 * Every run is one process and one plug-in, as a command line tool is. */
#include <fido.h>
#include <fido/bio.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "vkey_socket_io.h"

#define ENROLL_TIMEOUT_MS 5000
#define MAX_SAMPLES 16

static int failed(const char* what, int rc) {
    fprintf(stderr, "libfido2_ops: %s: %s (%d)\n", what, fido_strerr(rc), rc);
    return 1;
}

static int enrol(fido_dev_t* dev, const char* pin, const char* name) {
    fido_bio_template_t* template = fido_bio_template_new();
    fido_bio_enroll_t* enroll = fido_bio_enroll_new();
    int rc = fido_bio_dev_enroll_begin(dev, template, enroll, ENROLL_TIMEOUT_MS, pin);
    for (int samples = 1;
         rc == FIDO_OK && fido_bio_enroll_remaining_samples(enroll) > 0 && samples < MAX_SAMPLES;
         samples++) {
        rc = fido_bio_dev_enroll_continue(dev, template, enroll, ENROLL_TIMEOUT_MS);
    }
    if (rc == FIDO_OK) {
        rc = fido_bio_template_set_name(template, name);
    }
    if (rc == FIDO_OK) {
        rc = fido_bio_dev_set_template_name(dev, template, pin);
    }
    fido_bio_enroll_free(&enroll);
    fido_bio_template_free(&template);
    return rc == FIDO_OK ? 0 : failed("enrolment", rc);
}

static int setup(fido_dev_t* dev, int argc, char** argv) {
    if (argc < 1) {
        fprintf(stderr, "libfido2_ops: setup needs a PIN\n");
        return 2;
    }
    int rc = fido_dev_set_pin(dev, argv[0], NULL);
    if (rc != FIDO_OK) {
        return failed("set PIN", rc);
    }
    for (int i = 1; i < argc; i++) {
        if (enrol(dev, argv[0], argv[i]) != 0) {
            return 1;
        }
    }
    return 0;
}

static int info(fido_dev_t* dev) {
    fido_cbor_info_t* ci = fido_cbor_info_new();
    int rc = fido_dev_get_cbor_info(dev, ci);
    if (rc == FIDO_OK) {
        char** versions = fido_cbor_info_versions_ptr(ci);
        for (size_t i = 0; i < fido_cbor_info_versions_len(ci); i++) {
            printf("version: %s\n", versions[i]);
        }
        char** names = fido_cbor_info_options_name_ptr(ci);
        const bool* values = fido_cbor_info_options_value_ptr(ci);
        for (size_t i = 0; i < fido_cbor_info_options_len(ci); i++) {
            printf("option: %s %s\n", names[i], values[i] ? "true" : "false");
        }
        printf("max message size: %llu\n", (unsigned long long)fido_cbor_info_maxmsgsiz(ci));
    }
    fido_cbor_info_free(&ci);
    return rc == FIDO_OK ? 0 : failed("GetInfo", rc);
}

static int retries(fido_dev_t* dev) {
    int count = -1;
    int rc = fido_dev_get_retry_count(dev, &count);
    if (rc != FIDO_OK) {
        return failed("PIN retries", rc);
    }
    printf("PIN retries: %d\n", count);
    return 0;
}

static int fingerprints(fido_dev_t* dev, int argc, char** argv) {
    if (argc != 1) {
        fprintf(stderr, "libfido2_ops: fingerprints needs the PIN\n");
        return 2;
    }
    fido_bio_template_array_t* templates = fido_bio_template_array_new();
    int rc = fido_bio_dev_get_template_array(dev, templates, argv[0]);
    if (rc == FIDO_OK) {
        for (size_t i = 0; i < fido_bio_template_array_count(templates); i++) {
            const fido_bio_template_t* t = fido_bio_template(templates, i);
            const unsigned char* id = fido_bio_template_id_ptr(t);
            const size_t idLength = fido_bio_template_id_len(t);
            const char* name = fido_bio_template_name(t);
            printf("%u %s\n", idLength > 0 ? (unsigned)id[idLength - 1] : 0u,
                   name != NULL ? name : "");
        }
    }
    fido_bio_template_array_free(&templates);
    return rc == FIDO_OK ? 0 : failed("template list", rc);
}

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: libfido2_ops SOCKET setup|info|retries|fingerprints [ARGS]\n");
        return 2;
    }
    const char* op = argv[2];
    fido_init(0);
    fido_dev_t* dev = fido_dev_new();
    int rc = fido_dev_set_io_functions(dev, vkey_socket_io());
    if (rc == FIDO_OK) {
        rc = fido_dev_open(dev, argv[1]);
    }
    if (rc != FIDO_OK) {
        fido_dev_free(&dev);
        return failed("open", rc);
    }
    int code = 2;
    if (strcmp(op, "setup") == 0) {
        code = setup(dev, argc - 3, argv + 3);
    } else if (strcmp(op, "info") == 0) {
        code = info(dev);
    } else if (strcmp(op, "retries") == 0) {
        code = retries(dev);
    } else if (strcmp(op, "fingerprints") == 0) {
        code = fingerprints(dev, argc - 3, argv + 3);
    } else {
        fprintf(stderr, "libfido2_ops: unknown operation %s\n", op);
    }
    fido_dev_close(dev);
    fido_dev_free(&dev);
    return code;
}
