#!/usr/bin/env python3
"""The tool as a screen reader on Linux sees it, over the real accessibility bus (AT-SPI).

Run by scripts/atspi-walk.sh, which starts Xvfb, a private D-Bus session with the AT-SPI
bus and the tool on its in-process virtual key (a new key). Walks the main window, the
verify-mode, set-PIN, enrolment, change-PIN and PIN verification dialogs, the passkey window
and the message boxes, and does one whole flow through the accessibility interfaces alone:
every press is an action, every PIN is typed into a field found by its name, every message
is read from its alert.

Fails with the list of shown controls that lack a role (a "filler") or a name, buttons
without a press action and list entries that are not rows.
"""
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

MAIN = "Kelvora FIDO2 管理ツール"
PANEL = "Virtual key (simulated)"
problems = []


def log(text):
    print(f"atspi-walk: {text}", flush=True)


def shown(node):
    states = node.get_state_set()
    return states.contains(Atspi.StateType.SHOWING) or states.contains(Atspi.StateType.VISIBLE)


def children(node):
    node.clear_cache()
    return [node.get_child_at_index(i) for i in range(node.get_child_count())]


def actions(node):
    action = node.get_action_iface()
    if action is None:
        return []
    return [action.get_action_name(i).lower() for i in range(action.get_n_actions())]


def walk(node, depth=0, parent_role=""):
    """Every shown node below `node`, with its depth and its parent's role."""
    out = []
    for child in children(node):
        if child is None or not shown(child):
            continue
        out.append((child, depth, parent_role))
        out.extend(walk(child, depth + 1, child.get_role_name()))
    return out


def nodes_of(window):
    return [node for node, _, _ in walk(window)]


def check(window, what):
    """Records what a reader could not present in `window`; returns its nodes."""
    nodes = walk(window)
    lines = [f"{what}: {window.get_role_name()} '{window.get_name()}'"]
    if window.get_role_name() not in ("frame", "dialog", "alert"):
        problems.append(f"{what}: the window is a {window.get_role_name()}")
    if not window.get_name():
        problems.append(f"{what}: the window has no name")
    for node, depth, parent_role in nodes:
        role, name = node.get_role_name(), node.get_name()
        lines.append(f"{'  ' * (depth + 1)}{role} '{name}' {actions(node)}")
        where = f"{what}: {role} '{name}'"
        if role in ("filler", "unknown", "invalid"):
            problems.append(f"{where}: no role")
        if not name.strip():
            problems.append(f"{where}: no name")
        if role == "push button" and not any(a in ("press", "click") for a in actions(node)):
            problems.append(f"{where}: no press action")
        if parent_role == "list" and role != "list item":
            problems.append(f"{where}: in the list but not a row")
    print("\n".join(lines), flush=True)
    return [node for node, _, _ in nodes]


def find(nodes, role, name):
    for node in nodes:
        if node.get_role_name() == role and node.get_name() == name:
            return node
    return None


def press(nodes, name, what):
    node = find(nodes, "push button", name)
    if node is None:
        raise SystemExit(f"atspi-walk: {what}: no button '{name}'")
    action = node.get_action_iface()
    names = actions(node)
    action.do_action(names.index("press") if "press" in names else 0)


def type_into(nodes, name, text, what):
    for role in ("password text", "text", "entry"):
        node = find(nodes, role, name)
        if node is not None:
            node.get_editable_text_iface().insert_text(0, text, len(text.encode()))
            return
    raise SystemExit(f"atspi-walk: {what}: no text field '{name}'")


def application(timeout=20):
    end = time.time() + timeout
    while time.time() < end:
        desktop = Atspi.get_desktop(0)
        for app in children(desktop):
            if app is not None and any(w is not None and w.get_name() == MAIN
                                       for w in children(app)):
                return app
        time.sleep(0.2)
    raise SystemExit("atspi-walk: the tool did not show its main window on the bus")


def window(app, test, what, timeout=10):
    """The first shown window of the tool that passes `test`."""
    end = time.time() + timeout
    while time.time() < end:
        for w in children(app):
            if w is not None and w.get_name() != PANEL and shown(w) and test(w):
                return w
        time.sleep(0.2)
    raise SystemExit(f"atspi-walk: {what} did not open")


def gone(app, test, what, timeout=10):
    end = time.time() + timeout
    while time.time() < end:
        if not any(w is not None and shown(w) and test(w) for w in children(app)):
            return
        time.sleep(0.2)
    raise SystemExit(f"atspi-walk: {what} did not close")


def named(name):
    return lambda w: w.get_name() == name


def is_alert(w):
    return w.get_role_name() == "alert"


def read_alert(app, what):
    """Reads the message box that opened and presses its OK; returns its text."""
    box = window(app, is_alert, what)
    nodes = check(box, what)
    texts = [n.get_name() for n in nodes if n.get_role_name() == "label"]
    # The caption comes first, then the message.
    if len(texts) < 2 or not texts[1]:
        problems.append(f"{what}: no message to read")
    log(f"{what} says: {texts[1:]}")
    press(nodes, "OK", what)
    gone(app, is_alert, what)
    return texts[1:] if len(texts) > 1 else []


def wait_for(test, what, timeout=10):
    end = time.time() + timeout
    while time.time() < end:
        if test():
            return
        time.sleep(0.2)
    raise SystemExit(f"atspi-walk: {what}")


def main():
    Atspi.init()
    app = application()
    main_window = window(app, named(MAIN), "the main window")
    wait_for(lambda: find(nodes_of(main_window), "label", "デバイスが見つかりました"),
             "the main window did not find the new key")
    nodes = check(main_window, "main window, a new key")

    # The about box: a message box of its own.
    press(nodes, "このツールについて", "main window")
    read_alert(app, "the about box")

    # An enrolment on the new key that sets a PIN on the way.
    press(nodes, "指紋を追加", "main window")
    mode = window(app, named("認証モードオプション"), "the verify-mode window")
    press(check(mode, "verify mode"), "PIN或いは指紋", "verify mode")
    set_pin = window(app, named("PIN設定"), "the set-PIN dialog")
    fields = check(set_pin, "set PIN")
    type_into(fields, "New PIN", "1234", "set PIN")
    type_into(fields, "Confirm PIN", "1234", "set PIN")
    press(fields, "OK", "set PIN")
    read_alert(app, "the PIN-set message")
    try:
        enrol = window(app, named("指紋を追加"), "the enrolment dialog", timeout=5)
        check(enrol, "enrolment")
    except SystemExit:
        log("the enrolment ended before it could be walked")
    gone(app, named("指紋を追加"), "the enrolment dialog", timeout=30)

    # The main window with the new fingerprint, then a PIN change.
    wait_for(lambda: any(n.get_role_name() == "list item" for n in nodes_of(main_window)),
             "the enrolled fingerprint is not listed")
    nodes = check(main_window, "main window, a fingerprint")
    press(nodes, "PINを変更", "main window")
    change = window(app, named("PIN変更"), "the change-PIN dialog")
    fields = check(change, "change PIN")
    type_into(fields, "旧PIN", "1234", "change PIN")
    type_into(fields, "新PIN", "5678", "change PIN")
    type_into(fields, "新PIN再入力", "5678", "change PIN")
    press(fields, "OK", "change PIN")
    said = read_alert(app, "the PIN-changed message")
    if not said:
        problems.append("the PIN change said nothing")

    # The passkey window, after the PIN (the new key holds none).
    press(nodes_of(main_window), "パスキーを管理", "main window")
    verify = window(app, named("PIN認証"), "the PIN verification dialog")
    fields = check(verify, "verify PIN")
    type_into(fields, "Input your PIN", "5678", "verify PIN")
    press(fields, "OK", "verify PIN")
    passkeys = window(app, named("パスキー管理"), "the passkey window")
    wait_for(lambda: find(nodes_of(passkeys), "label", "パスキーは保存されていません。"),
             "the passkey window did not say the key holds none")
    press(check(passkeys, "passkeys"), "Close", "passkeys")
    gone(app, named("パスキー管理"), "the passkey window")

    if problems:
        print("atspi-walk: controls a screen reader cannot present:", file=sys.stderr)
        for problem in problems:
            print(f"  {problem}", file=sys.stderr)
        return 1
    log("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
