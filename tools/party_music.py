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
import wave

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import gen_music  # noqa: E402

MIN_SECONDS = 20.0     # the opening lasts 19 s, clocked by the music
RATE, CHANNELS = 44100, 2
# A file whose decoded sound falls this far short of the length its header
# gives is damaged (cut off, or broken inside).
DECODED_SHARE = 0.98


class MusicError(Exception):
    """Music that looked right but could not be converted; the message
    names the file and says what to do."""


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


def decoded_seconds(wav):
    with wave.open(wav, "rb") as w:
        return w.getnframes() / w.getframerate()


def convert(source, mp3_path):
    """source as the program's MP3; MusicError when it cannot be decoded
    whole."""
    with tempfile.TemporaryDirectory() as tmp:
        wav = os.path.join(tmp, "music.wav")
        out = subprocess.run(["ffmpeg", "-v", "error", "-nostdin", "-i", source,
                              "-vn", "-ar", str(RATE), "-ac", str(CHANNELS),
                              "-c:a", "pcm_s16le", "-fflags", "+bitexact", wav],
                             capture_output=True, text=True, check=False)
        if out.returncode != 0 or not os.path.isfile(wav):
            reason = out.stderr.strip().splitlines()
            raise MusicError("%s: cannot be decoded (%s); export it again as "
                             "MP3, OGG, FLAC or WAV" % (source, reason[-1] if reason else "ffmpeg failed"))
        header, _why = duration(source)
        got = decoded_seconds(wav)
        if got < MIN_SECONDS or (header and got < header * DECODED_SHARE):
            raise MusicError("%s: only %.1f s of its %.1f s could be decoded, the "
                             "file is damaged; export it again"
                             % (source, got, header or got))
        gen_music.encode_mp3(wav, mp3_path)


def main(argv):
    if len(argv) != 3:
        print("usage: party_music.py SOURCE OUT.mp3", file=sys.stderr)
        return 2
    why = problem(argv[1])
    if why:
        print(why, file=sys.stderr)
        return 1
    try:
        convert(argv[1], argv[2])
    except MusicError as e:
        print(e, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
