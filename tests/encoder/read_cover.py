#!/usr/bin/env python3
"""Reads the cover picture of an audio file with mutagen, a reader apart from FFmpeg.

read_cover.py AUDIO PICTURE: prints "TYPE MIME" and writes the picture's bytes to PICTURE;
prints "none" when the file holds no picture. TYPE is the ID3/FLAC picture type (3: front
cover); an MP4 covr is a front cover by definition.
"""
import base64
import sys

from mutagen.flac import Picture
from mutagen.id3 import ID3, ID3NoHeaderError
from mutagen.mp4 import MP4, MP4Cover
from mutagen.oggvorbis import OggVorbis
from mutagen.wave import WAVE


def pictures(path):
    ext = path.rsplit(".", 1)[-1].lower()
    if ext == "m4a":
        for cover in (MP4(path).tags or {}).get("covr", []):
            mime = "image/png" if cover.imageformat == MP4Cover.FORMAT_PNG else "image/jpeg"
            yield 3, mime, bytes(cover)
    elif ext == "ogg":
        for text in OggVorbis(path).get("metadata_block_picture", []):
            pic = Picture(base64.b64decode(text))
            yield pic.type, pic.mime, pic.data
    else:
        if ext == "wav":
            tags = WAVE(path).tags
        else:
            try:
                tags = ID3(path)
            except ID3NoHeaderError:
                tags = None
        for apic in tags.getall("APIC") if tags else []:
            yield int(apic.type), apic.mime, apic.data


found = list(pictures(sys.argv[1]))
if not found:
    print("none")
else:
    kind, mime, data = found[0]
    with open(sys.argv[2], "wb") as out:
        out.write(data)
    print(kind, mime, len(found))
