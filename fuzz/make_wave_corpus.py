#!/usr/bin/python3
"""Writes the starting inputs of fuzz_wave_header: a few wave headers the parser takes and a few
it refuses, each a handful of bytes built here, so that the fuzzer starts next to every branch.
Run it from anywhere; it rewrites corpus/fuzz_wave_header beside itself."""
import pathlib
import struct

PCM, FLOAT, ADPCM = 1, 3, 2


def chunk(name, body, claimed=None):
    size = len(body) if claimed is None else claimed
    pad = b"\0" if len(body) % 2 else b""
    return name + struct.pack("<I", size) + body + pad


def fmt(tag, channels, rate, bits, align=None):
    align = channels * (bits // 8) if align is None else align
    return chunk(b"fmt ", struct.pack("<HHIIHH", tag, channels, rate, rate * align & 0xFFFFFFFF,
                                      align & 0xFFFF, bits))


def riff(*chunks):
    body = b"WAVE" + b"".join(chunks)
    return b"RIFF" + struct.pack("<I", len(body)) + body


SAMPLES = chunk(b"data", bytes(range(16)))
INPUTS = {
    "mono16": riff(fmt(PCM, 1, 22050, 16), SAMPLES),
    "stereo8": riff(fmt(PCM, 2, 8000, 8), SAMPLES),
    "float32": riff(fmt(FLOAT, 2, 48000, 32), SAMPLES),
    "eight_channels": riff(fmt(PCM, 8, 192000, 32), chunk(b"data", bytes(64))),
    "list_before_fmt": riff(chunk(b"LIST", b"INFOodd"), fmt(PCM, 1, 44100, 16), SAMPLES),
    "data_past_end": riff(fmt(PCM, 1, 22050, 16), chunk(b"data", b"abcde", claimed=0xFFFFFFFF)),
    "rate_1hz": riff(fmt(PCM, 1, 1, 16), SAMPLES),
    "rate_32hz": riff(fmt(PCM, 1, 32, 16), SAMPLES),
    "channels_65535": riff(fmt(PCM, 65535, 22050, 8), SAMPLES),
    "pcm24": riff(fmt(PCM, 1, 44100, 24), SAMPLES),
    "adpcm": riff(fmt(ADPCM, 1, 22050, 4, align=256), SAMPLES),
    "align_off": riff(fmt(PCM, 2, 22050, 16, align=2), SAMPLES),
    "data_first": riff(SAMPLES, fmt(PCM, 1, 22050, 16)),
    "cut_in_fmt": riff(fmt(PCM, 1, 22050, 16))[:30],
}

if __name__ == "__main__":
    corpus = pathlib.Path(__file__).resolve().parent / "corpus" / "fuzz_wave_header"
    corpus.mkdir(parents=True, exist_ok=True)
    for old in corpus.iterdir():
        old.unlink()
    for name, data in INPUTS.items():
        (corpus / name).write_bytes(data)
