# The labels of every test program, in one table so that a new program cannot go unlabelled
# (configuring fails until it has a row). What each label selects:
#   unit     one component's rules, no key session or window
#   flow     whole operations of the core or the command line against virtual keys
#   gui      windows driven through the toolkit's test driver
#   e2e      the tool as a person uses it, or the session end to end through the daemon
#   interop  independent FIDO clients against the virtual key
#   bench    smoke runs of the benchmark programs
#   threads  the program starts threads (workers, watchdogs, notification watchers, a second
#            program); the ThreadSanitizer build runs these and only these
#   windows  added to every test of the Windows build
# scripts/test.sh --quick runs unit and flow; the README says which run is for what.
set(KELVORA_TEST_LABELS
  test_cbor               "unit"
  test_platform           "unit"
  test_transport          "unit"
  test_ctap               "unit"
  test_ctap_pin           "unit"
  test_ctap_bio           "unit"
  test_vkey               "unit:threads"
  test_app_platform       "unit"
  test_ctap_pin_flows     "flow"
  test_ctap_bio_flows     "flow:threads"
  test_robustness         "flow"
  test_cli                "flow:threads"
  test_cli_removal        "flow:threads"
  test_toolkit            "gui:threads"
  test_message_box        "gui:threads"
  test_fingerprint_dialogs "gui:threads"
  test_pin_dialogs        "gui:threads"
  test_app                "gui:threads"
  test_app_panel          "gui:threads"
  test_app_instance       "gui"
  test_e2e_gui            "e2e:threads"
  test_e2e_transport      "e2e:threads"
  test_e2e_vkey_socket    "e2e:threads"
  test_linux_rig          "unit:threads"
)

set(KELVORA_TEST_ONLY_LABEL "" CACHE STRING
    "Build and register only the test programs with this label (empty: all)")

# kelvora_test_labels(NAME OUT): the labels of test program NAME; fails when it has no row.
function(kelvora_test_labels name out)
  list(FIND KELVORA_TEST_LABELS ${name} _at)
  if(_at EQUAL -1)
    message(FATAL_ERROR "test program ${name} has no labels: give it a row in "
                        "cmake/KelvoraTestLabels.cmake")
  endif()
  math(EXPR _at "${_at} + 1")
  list(GET KELVORA_TEST_LABELS ${_at} _labels)
  string(REPLACE ":" ";" _labels "${_labels}")
  if(CMAKE_CROSSCOMPILING AND WIN32)
    list(APPEND _labels windows)
  endif()
  set(${out} "${_labels}" PARENT_SCOPE)
endfunction()
