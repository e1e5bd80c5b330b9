#!/usr/bin/python3
"""Writes the hostile and damaged inputs of the resource benchmark into a folder: small files
(a few hundred bytes to a few KB) that claim huge pictures or counts. Each reader must refuse
or load them in bounded time and memory."""
import io
import struct
import sys
import zlib

from PIL import Image


def bmp(width, height, bits):
    header = struct.pack('<IiiHHIIiiII', 40, width, height, 1, bits, 0, 0, 2835, 2835, 256 if bits == 8 else 0, 0)
    palette = bytes(1024) if bits == 8 else b''
    offset = 14 + len(header) + len(palette)
    return b'BM' + struct.pack('<IHHI', offset + 16, 0, 0, offset) + header + palette + bytes(16)


def png(width, height, colour_type, rows=None):
    """A valid PNG of one colour: its rows compress to almost nothing (only the first `rows`
    of them when given)."""
    channels = {0: 1, 2: 3}[colour_type]
    row = b'\0' + bytes(width * channels)
    compressor = zlib.compressobj(9)
    data = b''.join(compressor.compress(row) for _ in range(height if rows is None else rows)) + compressor.flush()

    def chunk(kind, body):
        return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body) & 0xFFFFFFFF)

    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, colour_type, 0, 0, 0))
            + chunk(b'IDAT', data) + chunk(b'IEND', b''))


def psd(width, height):
    header = b'8BPS' + struct.pack('>H6xHIIHH', 1, 3, height, width, 8, 3)
    layer = struct.pack('>iiiiH', 0, 0, height, width, 3) + b''.join(struct.pack('>hI', c, 2) for c in range(3))
    layer += b'8BIMnorm' + bytes([255, 0, 1, 0]) + struct.pack('>I', 0)
    layers = struct.pack('>h', 1) + layer + bytes(6)
    info = struct.pack('>I', len(layers)) + layers
    return header + struct.pack('>I', 0) + struct.pack('>I', 0) + struct.pack('>I', len(info) + 4) + info + bytes(2)


def png_cut(width, height):
    """A PNG whose image data stops after its first row."""
    return png(width, height, 2, rows=1)


def ico_shared(entries):
    """Every directory entry points at the one 256 x 256 PNG picture."""
    data = png(256, 256, 2)
    offset = 6 + 16 * entries
    directory = b''.join(struct.pack('<BBBBHHII', 0, 0, 0, 0, 1, 32, len(data), offset) for _ in range(entries))
    return struct.pack('<HHH', 0, 1, entries) + directory + data


def ico(entries):
    directory = b''.join(struct.pack('<BBBBHHII', 32, 32, 0, 0, 1, 32, 1000, 1 << 30) for _ in range(entries))
    return struct.pack('<HHH', 0, 1, entries) + directory


def ico_png_bomb():
    data = png(30000, 30000, 2)
    return struct.pack('<HHH', 0, 1, 1) + struct.pack('<BBBBHHII', 0, 0, 0, 0, 1, 32, len(data), 22) + data


def ani(steps):
    cursor = io.BytesIO()
    Image.new('RGBA', (32, 32), (255, 0, 0, 255)).save(cursor, format='ICO', sizes=[(32, 32)])
    icon = cursor.getvalue()

    def chunk(kind, body):
        return kind + struct.pack('<I', len(body)) + body + (b'\0' if len(body) % 2 else b'')

    header = chunk(b'anih', struct.pack('<9I', 36, 1, steps, 32, 32, 32, 1, 1, 1))
    frames = b'LIST' + struct.pack('<I', 4 + 8 + len(icon)) + b'fram' + chunk(b'icon', icon)
    sequence = chunk(b'seq ', bytes(4 * steps))
    body = b'ACON' + header + frames + sequence
    return b'RIFF' + struct.pack('<I', len(body)) + body


def gif_end_codes(frames):
    out = bytearray(b'GIF89a' + struct.pack('<HHBBB', 16000, 16000, 0, 0, 0))
    for _ in range(frames):
        out += b'\x2c' + struct.pack('<HHHHB', 0, 0, 16000, 16000, 0) + b'\x02\x01\x05\x00'
    return bytes(out + b'\x3b')


def main():
    folder = sys.argv[1]
    files = {
        'bmp-8bit-40000.bmp': bmp(40000, 40000, 8),
        'bmp-24bit-26000.bmp': bmp(26000, 26000, 24),
        'bmp-24bit-15000.bmp': bmp(15000, 15000, 24),
        'png-rgb-15000-cut.png': png_cut(15000, 15000),
        'psd-layer-15000.psd': psd(15000, 15000),
        'ico-shared-entries.ico': ico_shared(20000),
        'png-grey-30000.png': png(30000, 30000, 0),
        'png-rgb-20000.png': png(20000, 20000, 2),
        'psd-layer-20000.psd': psd(20000, 20000),
        'ico-65535-entries.ico': ico(65535),
        'ico-png-bomb.ico': ico_png_bomb(),
        'ani-300000-steps.ani': ani(300000),
        'gif-16000-end-codes.gif': gif_end_codes(4),
    }
    for name, data in files.items():
        with open(f'{folder}/{name}', 'wb') as f:
            f.write(data)
        print(f'{name} {len(data)}')


main()
