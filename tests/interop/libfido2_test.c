/* The virtual key daemon driven by libfido2 through custom I/O over its socket.
 * Usage: libfido2_test SOCKET-PATH (the daemon runs with auto-touch). */
#include <fido.h>
#include <fido/bio.h>
#include <fido/credman.h>
#include <fido/es256.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "vkey_socket_io.h"

static int failures = 0;

#define CHECK(cond)                                                                  \
    do {                                                                             \
        if (!(cond)) {                                                               \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            failures++;                                                              \
        }                                                                            \
    } while (0)

#define CHECK_RC(expr, want)                                                               \
    do {                                                                                   \
        int rc_ = (expr);                                                                  \
        if (rc_ != (want)) {                                                               \
            fprintf(stderr, "%s:%d: %s = %s (%d), wanted %d\n", __FILE__, __LINE__, #expr, \
                    fido_strerr(rc_), rc_, (want));                                        \
            failures++;                                                                    \
        }                                                                                  \
    } while (0)

static fido_dev_t* plug(const char* path) {
    fido_dev_t* dev = fido_dev_new();
    CHECK_RC(fido_dev_set_io_functions(dev, vkey_socket_io()), FIDO_OK);
    CHECK_RC(fido_dev_open(dev, path), FIDO_OK);
    return dev;
}

static void unplug(fido_dev_t** dev) {
    fido_dev_close(*dev);
    fido_dev_free(dev);
    usleep(50000);
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: libfido2_test SOCKET\n");
        return 2;
    }
    fido_init(0);
    fido_dev_t* dev = plug(argv[1]);
    CHECK(fido_dev_is_fido2(dev));

    fido_cbor_info_t* info = fido_cbor_info_new();
    CHECK_RC(fido_dev_get_cbor_info(dev, info), FIDO_OK);
    CHECK(fido_cbor_info_versions_len(info) >= 1);
    fido_cbor_info_free(&info);

    int retries = -1;
    CHECK_RC(fido_dev_set_pin(dev, "1234", NULL), FIDO_OK);
    CHECK_RC(fido_dev_get_retry_count(dev, &retries), FIDO_OK);
    CHECK(retries == 8);
    CHECK_RC(fido_dev_set_pin(dev, "abcd", "0000"), FIDO_ERR_PIN_INVALID);
    CHECK_RC(fido_dev_get_retry_count(dev, &retries), FIDO_OK);
    CHECK(retries == 7);
    CHECK_RC(fido_dev_set_pin(dev, "abcd", "1234"), FIDO_OK);

    /* Bio enrollment: begin, continue until no samples remain, list, name, remove. */
    fido_bio_template_t* template = fido_bio_template_new();
    fido_bio_enroll_t* enroll = fido_bio_enroll_new();
    CHECK_RC(fido_bio_dev_enroll_begin(dev, template, enroll, 3000, "abcd"), FIDO_OK);
    int samples = 1;
    while (fido_bio_enroll_remaining_samples(enroll) > 0 && samples < 10) {
        CHECK_RC(fido_bio_dev_enroll_continue(dev, template, enroll, 3000), FIDO_OK);
        samples++;
    }
    CHECK(samples == 4);
    CHECK(fido_bio_template_id_len(template) == 2);

    fido_bio_template_array_t* templates = fido_bio_template_array_new();
    CHECK_RC(fido_bio_dev_get_template_array(dev, templates, "abcd"), FIDO_OK);
    CHECK(fido_bio_template_array_count(templates) == 1);
    fido_bio_template_array_free(&templates);

    CHECK_RC(fido_bio_template_set_name(template, "right index"), FIDO_OK);
    CHECK_RC(fido_bio_dev_set_template_name(dev, template, "abcd"), FIDO_OK);
    templates = fido_bio_template_array_new();
    CHECK_RC(fido_bio_dev_get_template_array(dev, templates, "abcd"), FIDO_OK);
    if (fido_bio_template_array_count(templates) == 1) {
        const char* name = fido_bio_template_name(fido_bio_template(templates, 0));
        CHECK(name != NULL && strcmp(name, "right index") == 0);
    }
    fido_bio_template_array_free(&templates);

    CHECK_RC(fido_bio_dev_enroll_remove(dev, template, "abcd"), FIDO_OK);
    /* A template the key no longer holds. */
    CHECK_RC(fido_bio_dev_enroll_remove(dev, template, "abcd"), FIDO_ERR_INVALID_OPTION);
    CHECK_RC(fido_bio_dev_set_template_name(dev, template, "abcd"), FIDO_ERR_INVALID_OPTION);
    fido_bio_enroll_free(&enroll);
    fido_bio_template_free(&template);

    /* Passkeys: made with rk, used for an assertion, counted, listed and deleted. */
    static const unsigned char cdh[32] = {1, 2, 3};
    static const unsigned char user_id[] = {'d', 'e', 'e'};
    fido_cred_t* cred = fido_cred_new();
    CHECK_RC(fido_cred_set_type(cred, COSE_ES256), FIDO_OK);
    CHECK_RC(fido_cred_set_clientdata_hash(cred, cdh, sizeof cdh), FIDO_OK);
    CHECK_RC(fido_cred_set_rp(cred, "c.example", "C"), FIDO_OK);
    CHECK_RC(fido_cred_set_user(cred, user_id, sizeof user_id, "dee", "Dee", NULL), FIDO_OK);
    CHECK_RC(fido_cred_set_rk(cred, FIDO_OPT_TRUE), FIDO_OK);
    CHECK_RC(fido_dev_make_cred(dev, cred, "abcd"), FIDO_OK);
    CHECK_RC(fido_cred_verify_self(cred), FIDO_OK);

    fido_assert_t* assert = fido_assert_new();
    es256_pk_t* pk = es256_pk_new();
    CHECK_RC(fido_assert_set_clientdata_hash(assert, cdh, sizeof cdh), FIDO_OK);
    CHECK_RC(fido_assert_set_rp(assert, "c.example"), FIDO_OK);
    CHECK_RC(fido_dev_get_assert(dev, assert, NULL), FIDO_OK);
    CHECK_RC(es256_pk_from_ptr(pk, fido_cred_pubkey_ptr(cred), fido_cred_pubkey_len(cred)),
             FIDO_OK);
    CHECK_RC(fido_assert_verify(assert, 0, COSE_ES256, pk), FIDO_OK);
    es256_pk_free(&pk);
    fido_assert_free(&assert);

    fido_credman_metadata_t* metadata = fido_credman_metadata_new();
    CHECK_RC(fido_credman_get_dev_metadata(dev, metadata, "abcd"), FIDO_OK);
    CHECK(fido_credman_rk_existing(metadata) == 1);
    CHECK(fido_credman_rk_remaining(metadata) == 24);
    fido_credman_metadata_free(&metadata);
    fido_credman_rp_t* rps = fido_credman_rp_new();
    CHECK_RC(fido_credman_get_dev_rp(dev, rps, "abcd"), FIDO_OK);
    CHECK(fido_credman_rp_count(rps) == 1);
    if (fido_credman_rp_count(rps) == 1) {
        CHECK(strcmp(fido_credman_rp_id(rps, 0), "c.example") == 0);
    }
    fido_credman_rp_free(&rps);
    fido_credman_rk_t* rks = fido_credman_rk_new();
    CHECK_RC(fido_credman_get_dev_rk(dev, "c.example", rks, "abcd"), FIDO_OK);
    CHECK(fido_credman_rk_count(rks) == 1);
    if (fido_credman_rk_count(rks) == 1) {
        CHECK(strcmp(fido_cred_user_name(fido_credman_rk(rks, 0)), "dee") == 0);
    }
    fido_credman_rk_free(&rks);
    CHECK_RC(fido_credman_del_dev_rk(dev, fido_cred_id_ptr(cred), fido_cred_id_len(cred), "abcd"),
             FIDO_OK);
    CHECK_RC(fido_credman_del_dev_rk(dev, fido_cred_id_ptr(cred), fido_cred_id_len(cred), "abcd"),
             FIDO_ERR_NO_CREDENTIALS);
    fido_cred_free(&cred);

    /* Reset: refused after the plug-in window, accepted inside it. */
    sleep(2);
    CHECK_RC(fido_dev_reset(dev), FIDO_ERR_NOT_ALLOWED);
    unplug(&dev);
    dev = plug(argv[1]);
    CHECK_RC(fido_dev_reset(dev), FIDO_OK);
    CHECK_RC(fido_dev_get_retry_count(dev, &retries), FIDO_OK);
    unplug(&dev);

    if (failures != 0) {
        fprintf(stderr, "%d check(s) failed\n", failures);
        return 1;
    }
    printf("libfido2 interop: all checks passed\n");
    return 0;
}
