"""The switch sound, heard. The session's wave device writes what it plays
to a file (ALSA's file plugin over its null device: harness.Session with
sound=True), so Wine reports one device and the key dialog's sound group is
enabled. Test plays the wave named in the dialog; F2 with "サウンドを再生"
ticked switches, shows the pop-up and plays the stored wave: the samples
that reach the device are exactly the wave's data. A missing file, an empty
setting, an empty file, a file on a drive that does not exist, a file over
Kelvo's limit of 256 KiB and a device that refuses to open change nothing
else: the switch and the pop-up still happen, at once, with no box, and
nothing reaches the device; the next switch with the device back is heard
again.

The device that refuses to open stands in for a busy one. On Windows 95 a
wave device that another program holds fails to open and PlaySound with
SND_NOWAIT returns at once; Wine mixes every program's sound, so a second
player does not make the device busy here, but a device that cannot be
opened makes PlaySound fail in the same way."""
import os
import struct
import time

from harness import Session, check, run
from klvo_support import (IMES, KELVO, bring_to_front, eventually, hold_change_key, install_imes, popup_gone, start_app,
                          window_ime)
from test_klvoui_display import start_restored
from test_klvoui_keys import controls, open_dialog

SOUND_EVENT = r"HKCU\AppEvents\Schemes\Apps\Kelvo\KelvoIMEChange\.Current"
PLAY_SOUND, SOUND_FILE, SOUND_TEST, SOUND_BROWSE = 211, 213, 214, 215
RATE = 22050


def write_wave(path, samples):
    """A 22,050 Hz mono 16-bit PCM wave file; returns its sample data."""
    data = b"".join(struct.pack("<h", v) for v in samples)
    fmt = struct.pack("<HHIIHH", 1, 1, RATE, RATE * 2, 2, 16)
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", 4 + 8 + len(fmt) + 8 + len(data)) + b"WAVE")
        f.write(b"fmt " + struct.pack("<I", len(fmt)) + fmt)
        f.write(b"data" + struct.pack("<I", len(data)) + data)
    return data


def tone(period, amplitude, count):
    """A sawtooth whose every sample is distinct enough to tell two waves apart."""
    return [((i * 65536 // period) % 65536 - 32768) * amplitude // 32768 for i in range(count)]


def forget_played(s):
    """Empties the record of the device (each opening of the device starts
    the file anew, so only what the next sound plays will be in it)."""
    if os.path.exists(s.sound_file):
        os.remove(s.sound_file)


def sound_of(data):
    """The samples of raw 16-bit data, silence left out."""
    return [v for v in struct.unpack("<%dh" % (len(data) // 2), data[:len(data) // 2 * 2]) if v != 0]


def heard(got, wave):
    """True when the device got exactly the wave's samples, in order. On a
    busy machine Wine's mixer writes silence to the device when it falls
    behind, so silence between them does not count."""
    return got is not None and sound_of(got) == sound_of(wave)


def played(s, wave=None, timeout=5):
    """What reached the device since forget_played: None when nothing did.
    With wave, waits until all of it is there (or the time is up)."""
    def read():
        if not os.path.exists(s.sound_file):
            return None
        with open(s.sound_file, "rb") as f:
            return f.read()
    end = time.time() + timeout
    while time.time() < end and not (wave is not None and heard(read(), wave)):
        time.sleep(0.2)
    return read()


def press_change_key(s, shot=None):
    """Holds F2 until the pop-up is up; returns the pop-ups seen meanwhile and
    the seconds from the release until no pop-up was left (None: one stayed)."""
    seen = hold_change_key(s)
    if shot:
        s.screenshot(shot)
    s.key_up("F2")
    start = time.time()
    gone = popup_gone(s)
    return seen, (time.time() - start) if gone else None


def switch_with_sound(s, app, what, expect_sound=None, shot=None, refused=False):
    """F2 once: the switch and the pop-up happen whatever the sound does;
    with expect_sound the device got exactly that data, else nothing. With
    refused, the device cannot open its output file while F2 is pressed."""
    before = window_ime(s, app)
    forget_played(s)
    if refused:
        os.mkdir(s.sound_file)
    seen, closed_after = press_change_key(s, shot)
    after = window_ime(s, app)
    check(after is not None and after != before, f"{what}: F2 switched the application ({before} -> {after})")
    names = {name: description for name, description in IMES}
    check(len(seen) == 1 and seen[0]["text"] == names.get(after),
          f"{what}: the pop-up showed '{names.get(after)}' while F2 was held ({seen})")
    check(closed_after is not None and closed_after < 3,
          f"{what}: the pop-up closed at the release, no hang ({closed_after})")
    if refused:
        time.sleep(2)
        check(not os.listdir(s.sound_file), f"{what}: nothing could reach the device")
        os.rmdir(s.sound_file)
        return
    got = played(s, expect_sound, timeout=5 if expect_sound else 2)
    if expect_sound is None:
        check(got is None, f"{what}: nothing reached the device ({None if got is None else len(got)} bytes)")
    else:
        check(heard(got, expect_sound), f"{what}: the device got exactly the wave's {len(expect_sound)} bytes of samples "
                                   f"({None if got is None else len(got)} bytes)")


def scenario():
    with Session("klvo_sound", sound=True) as s:
        install_imes(s)
        folder = s.unix("C:\\sounds")
        os.makedirs(folder, exist_ok=True)
        test_wave = write_wave(os.path.join(folder, "test.wav"), tone(50, 12000, RATE // 4))
        ding_wave = write_wave(os.path.join(folder, "ding.wav"), tone(37, 20000, RATE // 5))
        open(os.path.join(folder, "empty.wav"), "wb").close()
        write_wave(os.path.join(folder, "long.wav"), tone(41, 9000, 131051))   # 262,146 bytes: the limit + 2
        check(test_wave != ding_wave, "two different waves to tell apart")

        app = start_app(s, "Sound target")
        proc, main = start_restored(s)

        # The key dialog: with a device the sound group is live.
        dialog = open_dialog(s, main)
        c = controls(s, dialog)
        check(c[PLAY_SOUND]["enabled"] == 1, "with a wave device 'サウンドを再生' is enabled")
        check(c[PLAY_SOUND]["checked"] == 0 and all(c[i]["enabled"] == 0 for i in (SOUND_FILE, SOUND_TEST, SOUND_BROWSE)),
              "sound off: the file name, Test and Browse wait for the tick")
        s.key("alt+p")
        eventually(lambda: controls(s, dialog)[SOUND_TEST]["enabled"] == 1)
        c = controls(s, dialog)
        check(c[PLAY_SOUND]["checked"] == 1 and all(c[i]["enabled"] == 1 for i in (SOUND_FILE, SOUND_TEST, SOUND_BROWSE)),
              "ticked: the file name, Test and Browse are enabled")
        s.settext(dialog, SOUND_FILE, r"C:\sounds\test.wav")
        s.screenshot("sound_group_enabled.png")

        # Test plays the wave named in the edit, before OK stores it.
        forget_played(s)
        s.command(dialog, SOUND_TEST)
        got = played(s, test_wave)
        check(heard(got, test_wave), f"Test played C:\\sounds\\test.wav: exactly its {len(test_wave)} bytes of samples "
                                f"reached the device ({None if got is None else len(got)} bytes)")

        s.settext(dialog, SOUND_FILE, r"C:\sounds\ding.wav")
        s.command(dialog, 1)
        check(s.wait_window("^キーの設定$", timeout=5, gone=True), "OK closes the dialog")
        check(s.reg_query(SOUND_EVENT, "") == r"C:\sounds\ding.wav", "the sound file is stored as the event's sound")

        # F2: switch, pop-up, and the stored wave.
        check(bring_to_front(s, app), "the test application is in front")
        switch_with_sound(s, app, "sound on, C:\\sounds\\ding.wav", ding_wave, shot="f2_popup_with_sound.png")

        # Files that give no sound: each is read again at the key press.
        for what, path in (("a missing file", r"C:\sounds\missing.wav"), ("an empty setting", ""),
                           ("an empty file", r"C:\sounds\empty.wav"), ("a drive that does not exist", r"Q:\ding.wav"),
                           ("a file over the size limit", r"C:\sounds\long.wav")):
            s.reg_add(SOUND_EVENT, "", "REG_SZ", path)
            switch_with_sound(s, app, what)
            boxes = [w for w in s.windows() if w["class"] == "#32770" and w["pid"] == main["pid"]]
            check(not boxes, f"{what}: no box ({boxes})")

        # A device that refuses to open: its output file cannot be created
        # (a folder stands in its place).
        s.reg_add(SOUND_EVENT, "", "REG_SZ", r"C:\sounds\ding.wav")
        switch_with_sound(s, app, "a device that refuses to open", refused=True)
        # ... and once it opens again, the next switch is heard.
        switch_with_sound(s, app, "the device back", ding_wave)

        s.close(main)
        check(s.wait_exit(proc, 20) == 0, "Klvo.exe exits with code 0")
        check(s.reg_query(KELVO + r"\Sound", "PlaySound") == "0x1", "PlaySound 1 saved")


if __name__ == "__main__":
    run(scenario)
