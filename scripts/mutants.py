#!/usr/bin/env python3
"""Checks that the suite fails for plausible defects: each defect below is put into a copy of
the sources by hand (a text replaced), the copy is built and the whole suite run; a defect the
suite passes with "survived". Usage, from the project root:

    scripts/mutants.py [--tree DIR] [--out FILE] [ID ...]

--tree: a checkout to mutate, default a fresh worktree of HEAD in build-mutants/tree (never
the working copy); --out: the results, one line per defect (id, killed / SURVIVED / NOT
APPLIED / BUILD FAILED, seconds, failing tests, what), default build-mutants/results.txt.
A defect whose text no longer appears in its file is reported NOT APPLIED: change its entry
with the code. A run of the whole list takes about half an hour on two cores.
"""
import argparse, os, re, subprocess, sys, time

# (id, what, file, [(text, replacement), ...]); each text appears exactly once in its file.
DEFECTS = [
    ('M01', 'reply limit 2.0 s instead of 3.0 s', 'link/com232.cpp',
     [('ReplyLimit = 3.0;', 'ReplyLimit = 2.0;')]),
    ('M02', 'input queue flush before a reading exchange dropped', 'link/com232.cpp',
     [('        FlushInQ(com);\n        FlushOutQ(com);\n    }', '        FlushOutQ(com);\n    }')]),
    ('M03', 'percent to raw rounded instead of truncated', 'params/params.cpp',
     [('PowerSteps - (percent * PowerSteps / 100)', 'PowerSteps - ((percent * PowerSteps + 50) / 100)')]),
    ('M04', 'raw to percent rounded instead of truncated', 'params/params.cpp',
     [('100 * (PowerSteps - raw) / PowerSteps', '(100 * (PowerSteps - raw) + PowerSteps / 2) / PowerSteps')]),
    ('M05', 'sync and command bytes swapped in the frame', 'link/com232.cpp',
     [('szWriteBuf[0] = sync;\n    szWriteBuf[1] = command;', 'szWriteBuf[0] = command;\n    szWriteBuf[1] = sync;')]),
    ('M06', 'the spare bytes left out of the frame', 'link/com232.cpp',
     [('std::memcpy(szWriteBuf + 2, pp, AnzPara);', 'std::memcpy(szWriteBuf + 2, pp, AnzPara - 3);\n    std::memset(szWriteBuf + 14, 0, 3);')]),
    ('M07', 'two spare bytes swapped in the packet order', 'params/params.cpp',
     [('&frei13, &frei14,  &frei15}', '&frei13, &frei15,  &frei14}')]),
    ('M08', 'edge time bytes swapped (high first)', 'live/poll.cpp',
     [('const unsigned int adjedge = dataAdjedgeH * 256u + dataAdjedgeL;', 'const unsigned int adjedge = dataAdjedgeL * 256u + dataAdjedgeH;')]),
    ('M09', 'history shifted the wrong way', 'live/poll.cpp',
     [('Shift(alldata, AnzAll, -AnzTrace, alldata);', 'Shift(alldata, AnzAll, AnzTrace, alldata);')]),
    ('M10', "history's threshold slot takes the hysteresis", 'live/poll.cpp',
     [('alldata[AnzAll - 2] = threshold;', 'alldata[AnzAll - 2] = hysteresis;')]),
    ('M11', 'Stop no longer ends the reply wait', 'link/com232.cpp',
     [('if (command == CmdReadData && poll == 0) return -1;', 'if (command == CmdReadData && poll == 2) return -1;')]),
    ('M12', 'a second Go nests a second loop', 'live/poll.cpp',
     [('if (going || !BeginSensorOp()) return 0;', 'if (!BeginSensorOp()) return 0;')]),
    ('M13', "a close in Go's settle wait still starts the loop", 'live/poll.cpp',
     [('if (!quitting) {', 'if (true) {')]),
    ('M14', 'a 100 % edge bar drawn in the last slot', 'live/graphview.cpp',
     [('if (edge >= 0 && edge < AnzBars) edgeBars[edge] = BarHeight;', 'if (edge >= 0) edgeBars[edge < AnzBars ? edge : AnzBars - 1] = BarHeight;')]),
    ('M15', 'bar colours swapped', 'live/graphview.cpp',
     [('ColourEdge = 0x0000FF, ColourWindow = 0xFF0000', 'ColourEdge = 0xFF0000, ColourWindow = 0x0000FF')]),
    ('M16', 'page switch shows before it hides', 'gui/gui.cpp',
     [('    SetPageVisible(extendedPage, 0); /* hide first: the two inputs of a place never show together */\n    SetPageVisible(basicPage, 1);', '    SetPageVisible(basicPage, 1);\n    SetPageVisible(extendedPage, 0);')]),
    ('M17', 'place help of the wrong page', 'gui/gui.cpp',
     [('para == 1 ? 0 : 1', 'para == 1 ? 1 : 0')]),
    ('M18', "place 3's help mapped to place 4", 'gui/gui.cpp',
     [('CBF_PLACE_HELP(CBF_DECO3, 3)', 'CBF_PLACE_HELP(CBF_DECO3, 4)')]),
    ('M19', 'a save made non-atomic: the old file truncated and written in place first',
     'platform/files.cpp',
     [('    QSaveFile file(name);\n', '    {\n        QFile direct(name);\n        if (direct.open(QIODevice::WriteOnly | QIODevice::Truncate)) direct.write(bytes);\n    }\n    QSaveFile file(name);\n')]),
    ('M20', 'a replaced file loses its mode and owner', 'platform/files.cpp',
     [('if (!keepAttributes(file, name)) {', 'if (false && !keepAttributes(file, name)) {')]),
    ('M21', 'a read-only file replaced without asking', 'params/parafile.cpp',
     [('if (ConfirmPopup("INFO", text) != 1) return;', 'ConfirmPopup("INFO", text);')]),
    ('M22', 'a failed parameter save reported as success', 'params/parafile.cpp',
     [('        ReportFileError("PARAMETER FILE NOT SAVED", file_name);\n}', '        ;\n}')]),
    ('M23', 'a toggle switched off leaves none lit', 'params/transfer.cpp',
     [('        target = RAM;\n        SetCtrlVal(pan, PANEL_SELECT_RAM, 1);', '        target = RAM;')]),
    ('M24', 'with FILE lit the port set-up reads the EEPROM', 'params/transfer.cpp',
     [('target == EEPROM ? CmdReadEeprom : CmdReadRam', 'target == RAM ? CmdReadRam : CmdReadEeprom')]),
    ('M25', 'EEPROM settle wait 1.0 s', 'link/com232.cpp',
     [('target == EEPROM ? 1.5 : 0.1', 'target == EEPROM ? 1.0 : 0.1')]),
    ('M26', 'an operation inside another no longer refused', 'link/com232.cpp',
     [('    if (busy) return 0;\n    busy = 1;', '    busy = 1;')]),
    ('M27', 'line check ignores its last byte', 'link/com232.cpp',
     [('std::memcmp(szReadBuf, lineOk, AnzLineCheck) == 0', 'std::memcmp(szReadBuf, lineOk, AnzLineCheck - 1) == 0')]),
    ('M28', 'a reply one byte short taken', 'link/com232.cpp',
     [('return nBytesR == replyLen ? 1 : 0;', 'return nBytesR >= replyLen - 1 ? 1 : 0;')]),
    ('M29', 'jump threshold line at the sent value, not the typed one', 'live/jumpbuf.cpp',
     [('std::memset(reference, threshold, AnzJump);', 'std::memset(reference, pp[0], AnzJump);')]),
    ('M30', 'the jump buffer readout leaves the strip chart shown', 'live/jumpbuf.cpp',
     [('    SetCtrlAttribute(panel, PANEL_STRIPCHART, ATTR_VISIBLE, 0);\n    SetCtrlAttribute(panel, PANEL_GRAPH_JUMPBUF', '    SetCtrlAttribute(panel, PANEL_GRAPH_JUMPBUF')]),
    ('M31', 'open error texts of a held and a missing port swapped', 'link/com232.cpp',
     [('case ComErrNoDevice: return "No serial port found";\n    case ComErrCannotOpen: return "Cannot open port";', 'case ComErrNoDevice: return "Cannot open port";\n    case ComErrCannotOpen: return "No serial port found";')]),
    ('M32', 'the title no longer says a device is not present', 'link/com232.cpp',
     [('present < 0 ? "no device" : device, present == 0 ? " (not present)" : "");', 'present < 0 ? "no device" : device, "");')]),
    ('M33', 'program writes raise callbacks', 'platform/panel.cpp',
     [('    QWidget *w = c->widget;\n    const QSignalBlocker block(w);\n    switch (c->kind) {', '    QWidget *w = c->widget;\n    switch (c->kind) {')]),
    ('M34', 'displays not repainted on a new value', 'platform/panel.cpp',
     [('    face->update();', '    ;')]),
    ('M35', 'recording writes no line', 'live/poll.cpp',
     [('            RecordData();', '            ;')]),
    ('M36', 'a failed history export reported as success', 'live/record.cpp',
     [('        ReportFileError("HISTORY NOT EXPORTED", export_name, "");', '        ;')]),
    ('M37', 'a recording cut by a full disk goes on silently', 'live/record.cpp',
     [('    if (WriteLine(recordFile, szRecordLine) == 0) {\n        recordLines++;\n        return;\n    }', '    if (WriteLine(recordFile, szRecordLine) == 0 || true) {\n        recordLines++;\n        return;\n    }')]),
    ('M38', "a bounded read ignores its buffer's size", 'platform/serial.cpp',
     [('    if (std::size_t(want) > capacity) want = qint64(capacity);\n', '')]),
    ('M39', 'a one-byte read writes an int', 'platform/panel.cpp',
     [('    if (r >= 0 && value) *value = static_cast<unsigned char>(v & 0xFF);', '    if (r >= 0 && value) std::memcpy(value, &v, sizeof v);')]),
    ('M40', "the window's close returns 1", 'app/Veltrav20.cpp',
     [('    CloseCom(com);\n', '    CloseCom(com);\n    return 1;\n')]),
    ('M41', 'EDGE percentage divided by the IN1 time', 'live/poll.cpp',
     [('adjin0 ? static_cast<int>(100 * adjedge / adjin0) : 0', 'adjin1 ? static_cast<int>(100 * adjedge / adjin1) : 0')]),
    ('M42', 'the recorded percentages rounded up', 'live/record.cpp',
     [('std::snprintf(edge, sizeof edge, "%u", 100 * adjedge / adjin0);', 'std::snprintf(edge, sizeof edge, "%u", (100 * adjedge + adjin0 - 1) / adjin0);')]),
    ('M43', 'the panel shown before the line check and its report', 'app/Veltrav20.cpp',
     [('    InitRS232(com);\n    DisplayPanel(panel);', '    DisplayPanel(panel);\n    InitRS232(com);')]),
]


def run(cmd, cwd, timeout=1800):
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    r = subprocess.run(cmd, shell=True, cwd=cwd, env=env, capture_output=True, text=True,
                       timeout=timeout)
    return r.returncode, r.stdout + r.stderr


def failing(log):
    """The test programs and QtTest functions that failed, from ctest's output."""
    tests = re.findall(r"Test\s+#\d+: (\S+) \.+\**\s*(?:Failed|Timeout|Exception|Subprocess)", log)
    functions = sorted(set(re.findall(r"FAIL!  : \w+::(\w+)\(", log)))
    return " ".join(tests + functions)


def main():
    here = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    p = argparse.ArgumentParser()
    p.add_argument("--tree")
    p.add_argument("--out", default=os.path.join(here, "build-mutants", "results.txt"))
    p.add_argument("ids", nargs="*")
    a = p.parse_args()
    tree = a.tree or os.path.join(here, "build-mutants", "tree")
    if not a.tree:
        run(f"git worktree remove --force {tree} 2>/dev/null; git worktree prune", here)
        rc, log = run(f"git worktree add --force --detach {tree} HEAD", here)
        if rc: sys.exit(log)
    build = os.path.join(tree, "build-mutants")
    ctest = f"ctest --test-dir {build} -j2 --timeout 200 --output-on-failure"
    for step in (f"cmake -S . -B {build} -DCMAKE_BUILD_TYPE=Release", f"cmake --build {build} -j2",
                 ctest):
        rc, log = run(step, tree)
        if rc: sys.exit(f"{step}: fails before any defect is put in\n{log[-3000:]}")
    os.makedirs(os.path.dirname(os.path.abspath(a.out)), exist_ok=True)
    killed = total = 0
    with open(a.out, "a") as res:
        for mid, what, name, subs in DEFECTS:
            if a.ids and mid not in a.ids: continue
            path = os.path.join(tree, name)
            with open(path) as f: original = f.read()
            text = original
            for old, new in subs:
                text = text.replace(old, new) if text.count(old) == 1 else None
                if text is None: break
            start = time.time()
            if text is None:
                verdict, tests = "NOT APPLIED", ""
            else:
                with open(path, "w") as f: f.write(text)
                try:
                    rc, log = run(f"cmake --build {build} -j2", tree)
                    if rc:
                        verdict, tests = "BUILD FAILED", ""
                    else:
                        rc, log = run(ctest, tree, timeout=1200)
                        verdict, tests = ("killed" if rc else "SURVIVED"), failing(log)
                finally:
                    with open(path, "w") as f: f.write(original)
                total += 1
                killed += verdict == "killed"
            res.write(f"{mid}\t{verdict}\t{time.time() - start:.0f} s\t{tests}\t{what}\n")
            res.flush()
        res.write(f"{killed} of {total} killed\n")
    print(f"{killed} of {total} killed: {a.out}")


if __name__ == "__main__":
    main()
