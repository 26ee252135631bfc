#!/usr/bin/env python3
# Drives the Windows build under Wine in tmux and checks what a player would
# see. Run by scripts/cross-windows.sh, which makes the Wine prefix:
#   wine-smoke.py EXE WINE WORKDIR TMUX-SOCKET
import os, re, shlex, signal, subprocess, sys, time, unicodedata

exe, wine, work, sock = sys.argv[1:5]
# Colours as the terminal numbers them; white, dark grey and black have the
# same numbers on the console.
WHITE, DARK_GREY = 15, 8
X, Y = 10, 15                          # the well asked for: walls at columns 0 and 2*(X-1)
failures = []

def fail(msg):
    print("FAIL: " + msg)
    failures.append(msg)

def tmux(*args):
    return subprocess.run(["tmux", "-L", sock, *args], check=True,
                          capture_output=True, text=True).stdout

def screen(target):
    """Rows of {column: (char, colour or None)} as the terminal shows them."""
    rows, fg = [], None
    # Attributes carry over from one line to the next.
    for line in tmux("capture-pane", "-p", "-e", "-t", target).split("\n"):
        cells, col, k = {}, 0, 0
        while k < len(line):
            m = re.match(r"\x1b\[([0-9;]*)m", line[k:])
            if m:
                ps = [int(p) if p else 0 for p in m.group(1).split(";")]
                n = 0
                while n < len(ps):
                    p = ps[n]
                    if p in (0, 39):
                        fg = None
                    elif 30 <= p <= 37:
                        fg = p - 30
                    elif 90 <= p <= 97:
                        fg = p - 90 + 8
                    elif p == 38 and n + 2 < len(ps) and ps[n + 1] == 5:
                        fg = ps[n + 2] if ps[n + 2] < 16 else None
                        n += 2
                    n += 1
                k += m.end()
                continue
            if line[k] == "\x1b":
                k += 1
                continue
            c = line[k]
            cells[col] = (c, fg)
            col += 2 if unicodedata.east_asian_width(c) in "WF" else 1
            k += 1
        rows.append(cells)
    return rows

def text(target):
    return tmux("capture-pane", "-p", "-t", target)

def row_text(rows, r):
    return "".join(c for _, (c, _) in sorted(rows[r].items())).strip() if r < len(rows) else ""

def wait(what, pred, timeout=20.0):
    end = time.time() + timeout
    while True:
        v = pred()
        if v:
            return v
        if time.time() > end:
            fail("timed out waiting for " + what)
            return None
        time.sleep(0.1)

def piece(rows):
    """Coloured cells inside the well above the floor: the falling piece."""
    return sorted((col, r) for r in range(Y - 1) for col, (c, fg) in rows[r].items()
                  if c == "■" and 0 < col < 2 * (X - 1) and fg not in (None, 0))

def cursor_shown(target):
    return tmux("display", "-p", "-t", target, "#{cursor_flag}").strip() == "1"

def game_pid(target):
    shell = tmux("display", "-p", "-t", target, "#{pane_pid}").strip()
    kids = subprocess.run(["ps", "--ppid", shell, "-o", "pid="], capture_output=True, text=True).stdout.split()
    return int(kids[0]) if kids else None

def cpu_ticks(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])

def start(name, size=None):
    """A window of the session "smoke" (100 x 40), or a session of its own
    of `size` (columns, rows)."""
    status = os.path.join(work, name + ".status")
    if os.path.exists(status):
        os.remove(status)
    cmd = (f"cd {shlex.quote(work)} && {shlex.quote(wine)} {shlex.quote(exe)}; "
           f"echo $? > {shlex.quote(status)}; exec sleep 600")
    if size:
        tmux("new-session", "-d", "-s", name, "-x", str(size[0]), "-y", str(size[1]), cmd)
        return name, status
    if name == "game":
        tmux("new-session", "-d", "-s", "smoke", "-n", name, "-x", "100", "-y", "40", cmd)
    else:
        tmux("new-window", "-t", "smoke", "-n", name, cmd)
    return "smoke:" + name, status

def cpu_while_waiting(t, what, seconds=2):
    """Fails when the game uses more than a fifth of the processor."""
    pid = game_pid(t)
    if not pid:
        return
    a = cpu_ticks(pid)
    time.sleep(seconds)
    used = cpu_ticks(pid) - a
    print(f"cpu while waiting {what}: {used * 10} ms in {seconds * 1000} ms")
    if used > seconds * 20:
        fail(f"the game spins while waiting {what}: {used * 10} ms of cpu in {seconds} s")

def exit_status(status, timeout=20.0):
    def read():
        try:
            with open(status) as f:
                s = f.read().strip()
            return s if s else None
        except FileNotFoundError:
            return None
    s = wait("the program to end", read, timeout)
    return int(s) if s is not None else None

def answer_setup(t, log):
    if not wait("the width prompt", lambda: "宽度设置,建议20 请输入 10~100 的数值,并按回车确定;" in text(t), 60):
        return False
    tmux("send-keys", "-t", t, "abc", "Enter")
    wait("the error message", lambda: "输入错误，请重新输入 10~100 的数值,并按回车确定;" in text(t))
    tmux("send-keys", "-t", t, str(X), "Enter")
    wait("the height prompt", lambda: "高度设置,建议20 请输入 15~100 的数值" in text(t))
    tmux("send-keys", "-t", t, str(Y), "Enter")
    wait("the log prompt", lambda: "是否开启数据记录 0=否 1=是" in text(t))
    tmux("send-keys", "-t", t, log, "Enter")
    ok = wait("the well and the side panel",
              lambda: (lambda s: all(s[Y - 1].get(2 * x, ("", 0)) == ("■", WHITE) for x in range(X))
                       and row_text(s, 4).endswith("下一个方块"))(screen(t)))
    return bool(ok)

# --- A game in a console: prompts, keys, pause, game over, exit status 0.
t, status = start("game")
if answer_setup(t, "1"):
    s = screen(t)
    for r in range(Y - 1):
        if s[r].get(0) != ("■", WHITE) or s[r].get(2 * (X - 1)) != ("■", WHITE):
            fail(f"row {r}: no white wall at columns 0 and {2 * (X - 1)}")
            break
    # Cells are drawn one by one: a screen taken mid-way shows part of a piece.
    s = wait("the first piece", lambda: (lambda q: q if len(piece(q)) == 4 else None)(screen(t)))
    p = piece(s) if s else None
    if p:
        cols = sorted({c for c, _ in p})
        print(f"first piece at columns {cols}, row {p[0][1]}")
        if cols != [6, 8, 10, 12] or len({r for _, r in p}) != 1:
            fail(f"first piece (the flat bar) is not at columns 6..12 of one row: {p}")
        if any(s[r][c][1] != DARK_GREY for c, r in p):
            fail("first piece is not dark grey")
        # Console colours 12 (light red) and 14 (yellow) are the terminal's
        # bright red (9) and bright yellow (11): red and blue not mixed up.
        for r, colour, label in ((2, 9, "score"), (3, 11, "speed")):
            if s[r].get(2 * (X + 1), ("", None))[1] != colour:
                fail(f"{label} line is not in the terminal's colour {colour}")
        # The arrows count two columns, however wide the terminal draws them.
        for r, arrow in ((10, "↑"), (11, "←"), (12, "→"), (13, "↓")):
            at = 2 * (X + 1)
            if s[r].get(at, ("",))[0] != arrow or s[r].get(at + 2, ("",))[0] != ":":
                fail(f"key guide row {r}: {arrow!r} and ':' not at columns {at} and {at + 2}")
        if cursor_shown(t):
            fail("cursor shown during play")
        tmux("send-keys", "-t", t, "Left")
        if wait("the piece to move left",
                lambda: sorted({c for c, _ in piece(screen(t))}) == [4, 6, 8, 10], 5):
            print("left arrow moved the piece")
        tmux("send-keys", "-t", t, "Up")
        if wait("the piece to turn upright",
                lambda: (lambda q: len(q) == 4 and len({c for c, _ in q}) == 1)(piece(screen(t))), 5):
            print("up arrow turned the piece")
        tmux("send-keys", "-t", t, "Space")
        if wait("the pause prompt below the floor", lambda: row_text(screen(t), Y) != "", 5):
            held = piece(screen(t))
            print(f"pause prompt: {row_text(screen(t), Y)!r}")
            time.sleep(1.5)
            if piece(screen(t)) != held:
                fail("the piece moved during the pause")
            tmux("send-keys", "-t", t, "x")
            if wait("the pause to end", lambda: row_text(screen(t), Y) == "", 5):
                print("pause held the piece and ended on a key")
        # The releases of the keys above are still queued: they must not
        # keep the wait for the next key busy.
        cpu_while_waiting(t, "for keys", 3)
    # Drop pieces until one no longer fits; the end screen's pause follows.
    # No key is sent while it shows but the one that ends it, so nothing
    # meant for the game reaches the prompt after it. Each burst ends in Esc,
    # the start of a key that may go on: one still waiting for its rest as
    # the game ends must not leave the end question spinning on its deadline.
    end = time.time() + 90
    while time.time() < end and "游戏结束" not in text(t):
        if row_text(screen(t), Y) != "":
            time.sleep(0.5)
            if row_text(screen(t), Y) != "" and "游戏结束" not in text(t):
                tmux("send-keys", "-t", t, "x")
            break
        tmux("send-keys", "-t", t, "Down", "Down", "Down", "Down", "Escape")
        time.sleep(0.1)
    if not wait("the end screen", lambda: "游戏结束\n重新开始请按1，结束请按0\n请输入 0~1 的数值" in text(t), 10):
        print(text(t).rstrip())
    else:
        print("game over screen shown")
        cpu_while_waiting(t, "at the end question")
        tmux("send-keys", "-t", t, "0", "Enter")
        rc = exit_status(status)
        if rc != 0:
            fail(f"answering 0 ended with status {rc}, not 0")
            print(text(t).rstrip())
        elif not cursor_shown(t):
            fail("cursor still hidden after the game ended")
        else:
            print("answering 0 ended the program with status 0 and the cursor shown")
    log = os.path.join(work, "data.txt")
    try:
        with open(log, newline="") as f:
            first = f.read().split("\r\n\r\n")[0].split("\r\n")
        if len(first) != X or not all(l == "|" + " 20|" * Y for l in (first[0], first[-1])):
            fail(f"board log: first snapshot is not {X} lines with walls at both ends: {first[:2]}")
        else:
            print("board log written, first snapshot holds the walls")
    except OSError as e:
        fail(f"board log: {e}")

# --- Ctrl-C in play, and at a prompt, ends the program with the cursor back.
def ctrl_c(t, status, where, wrong_text, wrong):
    tmux("send-keys", "-t", t, "C-c")
    rc = exit_status(status)
    if rc is None:
        return
    if not cursor_shown(t):
        fail(f"cursor still hidden after Ctrl-C{where}")
    elif wrong_text in text(t):
        fail(f"Ctrl-C{where} {wrong}")
    else:
        print(f"Ctrl-C{where} ended the program (status {rc}) with the cursor shown")

t, status = start("ctrlc")
if answer_setup(t, "0"):
    wait("the cursor to be hidden", lambda: not cursor_shown(t), 5)
    ctrl_c(t, status, "", "游戏结束", "reached the end screen instead of ending the program")

t, status = start("ctrlc-prompt")
if wait("the width prompt", lambda: "请输入 10~100 的数值" in text(t), 60):
    tmux("send-keys", "-t", t, "12")
    ctrl_c(t, status, " at a prompt", "输入已结束", "was taken for the end of input")

# --- Too small a console for the well and the panel: the key that says to
# go on anyway is taken alone, and the one typed after it moves the piece.
t, status = start("small", (2 * X + 2 + 6, 20))
if wait("the width prompt", lambda: "宽度设置" in text(t), 60):
    for answer, then in ((X, "高度设置"), (Y, "是否开启数据记录"), (0, "窗口太小")):
        tmux("send-keys", "-t", t, str(answer), "Enter")
        if not wait(repr(then), lambda: then in text(t)):
            break
    else:
        tmux("send-keys", "-t", t, "x", "Left")
        if wait("the first piece moved left in the well still on screen",
                lambda: sorted({c for c, _ in piece(screen(t))}) == [4, 6, 8, 10], 10):
            print("a key ended the too-small screen and the next one moved the piece")
    tmux("send-keys", "-t", t, "C-c")
    exit_status(status)

# --- Redirected: answers from a pipe, output to a file, end of input.
def redirected(stdin_text, until=None, timeout=30.0):
    out = open(os.path.join(work, "out.txt"), "wb")
    err = open(os.path.join(work, "err.txt"), "wb")
    p = subprocess.Popen([wine, exe], cwd=work, stdin=subprocess.PIPE, stdout=out, stderr=err)
    p.stdin.write(stdin_text.encode())
    p.stdin.close()
    rc = None
    end = time.time() + timeout
    while time.time() < end:
        rc = p.poll()
        if rc is not None:
            break
        if until and until(open(out.name, "rb").read().decode("utf-8", "replace")):
            break
        time.sleep(0.2)
    if rc is None:
        p.send_signal(signal.SIGTERM)
        p.wait(10)
    out.close()
    err.close()
    return (rc, open(out.name, "rb").read().decode("utf-8", "replace"),
            open(err.name, "rb").read().decode("utf-8", "replace"))

rc, out, err = redirected("5\n200\nabc\n")
again = "输入错误，请重新输入 10~100 的数值,并按回车确定;"
if rc != 1:
    fail(f"end of input at a prompt: status {rc}, not 1")
elif "my-dropix: 输入已结束" not in err:
    fail(f"end of input at a prompt: no message on stderr: {err!r}")
elif out.count("请输入 10~100 的数值") != 1 or out.count(again) != 3 or "游戏规则" not in out:
    fail(f"end of input at a prompt: unexpected output {out[-300:]!r}")
else:
    print("end of input at a prompt: status 1, message on stderr, three refusals shown")

# The play screen goes out row by row: wait for its walls as well as its panel.
rc, out, err = redirected(f"{X}\n{Y}\n0\n",
                          until=lambda o: "下一个方块" in o and o.count("■") >= 2 * (Y - 1) + X)
if rc is not None:
    fail(f"game with redirected output ended early with status {rc}: {err!r}")
for want in ("宽度设置,建议20 请输入 10~100 的数值,并按回车确定;\n",
             "高度设置,建议20 请输入 15~100 的数值,并按回车确定;\n",
             "是否开启数据记录 0=否 1=是 \n请输入 0~1 的数值,并按回车确定;\n", "下一个方块"):
    if want not in out:
        fail(f"redirected output lacks {want!r}")
if out.count("■") < 2 * (Y - 1) + X:
    fail(f"redirected output holds {out.count('■')} wall glyphs, fewer than the walls")
elif not failures:
    print(f"redirected output is UTF-8 with the prompts and {out.count('■')} glyphs \"■\"")

print(f"wine smoke test: {'failed' if failures else 'passed'}")
sys.exit(1 if failures else 0)
