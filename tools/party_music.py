#!/usr/bin/env python3
"""A party's music as the program plays it: any file ffmpeg reads (MP3,
OGG, FLAC, WAV, ...; any rate, mono or stereo) becomes a 44.1 kHz stereo
MP3 of 192 kbit/s, encoded by lame as the invitation's own soundtrack is.

Usage: party_music.py SOURCE OUT.mp3
"""
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import gen_music  # noqa: E402

MIN_SECONDS = 20.0     # the opening lasts 19 s, clocked by the music
RATE, CHANNELS = 44100, 2


def duration(path):
    """Seconds of audio in path, or a reason it cannot be read."""
    try:
        out = subprocess.run(
            ["ffprobe", "-v", "error", "-select_streams", "a:0",
             "-show_entries", "format=duration:stream=codec_type",
             "-of", "default=noprint_wrappers=1", path],
            capture_output=True, text=True, check=False)
    except FileNotFoundError:
        return None, "ffprobe is missing: install the Debian package ffmpeg"
    if out.returncode != 0 or "codec_type=audio" not in out.stdout:
        reason = out.stderr.strip().splitlines()
        return None, reason[-1] if reason else "no sound in it"
    for line in out.stdout.splitlines():
        if line.startswith("duration="):
            try:
                return float(line.split("=", 1)[1]), None
            except ValueError:
                break
    return None, "its length cannot be read"


def problem(path):
    """What is wrong with path as a party's music, or None."""
    seconds, reason = duration(path)
    if seconds is None:
        return "%s: cannot be read as music (%s); give an MP3, OGG, FLAC or WAV file" % (path, reason)
    if seconds < MIN_SECONDS:
        return ("%s: %.1f s of music, at least %.0f s are needed (the opening "
                "lasts 19 s); give a longer piece" % (path, seconds, MIN_SECONDS))
    return None


def convert(source, mp3_path):
    with tempfile.TemporaryDirectory() as tmp:
        wav = os.path.join(tmp, "music.wav")
        subprocess.run(["ffmpeg", "-v", "error", "-nostdin", "-i", source,
                        "-vn", "-ar", str(RATE), "-ac", str(CHANNELS),
                        "-c:a", "pcm_s16le", "-fflags", "+bitexact", wav],
                       check=True)
        gen_music.encode_mp3(wav, mp3_path)


def main(argv):
    if len(argv) != 3:
        print("usage: party_music.py SOURCE OUT.mp3", file=sys.stderr)
        return 2
    why = problem(argv[1])
    if why:
        print(why, file=sys.stderr)
        return 1
    convert(argv[1], argv[2])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
