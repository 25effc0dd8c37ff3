"""Screen captures, for what only pixels show: the sky's colour and the read-out."""

import struct
from typing import Callable, Iterator, NamedTuple, Optional, Tuple

Pixel = Tuple[int, int, int]


class Geometry(NamedTuple):
    left: int
    top: int
    width: int
    height: int


class Picture:
    """An RGB picture: three bytes objects of one channel each, row by row."""

    def __init__(self, width: int, height: int, red: bytes, green: bytes,
                 blue: bytes) -> None:
        self.width, self.height = width, height
        self.red, self.green, self.blue = red, green, blue

    def crop(self, box: Geometry) -> "Picture":
        """The part under a window; rows and columns off the screen are left out."""
        left, top = max(box.left, 0), max(box.top, 0)
        right = min(box.left + box.width, self.width)
        bottom = min(box.top + box.height, self.height)
        channels = []
        for source in (self.red, self.green, self.blue):
            channels.append(b"".join(source[y * self.width + left:y * self.width + right]
                                     for y in range(top, bottom)))
        return Picture(right - left, bottom - top, *channels)

    def pixels(self, left: int = 0, top: int = 0, right: Optional[int] = None,
               bottom: Optional[int] = None) -> Iterator[Pixel]:
        right = self.width if right is None else right
        bottom = self.height if bottom is None else bottom
        for y in range(top, bottom):
            a, b = y * self.width + left, y * self.width + right
            yield from zip(self.red[a:b], self.green[a:b], self.blue[a:b])

    def share(self, predicate: Callable[[Pixel], bool], *box: int) -> float:
        hits = total = 0
        for p in self.pixels(*box):
            total += 1
            hits += 1 if predicate(p) else 0
        return hits / total if total else 0.0

    def save_ppm(self, path: str) -> None:
        with open(path, "wb") as f:
            f.write(b"P6\n%d %d\n255\n" % (self.width, self.height))
            data = bytearray(self.width * self.height * 3)
            data[0::3], data[1::3], data[2::3] = self.red, self.green, self.blue
            f.write(bytes(data))


def parse_xwd(data: bytes) -> Picture:
    """The picture in xwd's output (TrueColor, 24 or 32 bits a pixel)."""
    header = struct.unpack(">25I", data[:100])
    header_size, bits_per_pixel, bytes_per_line = header[0], header[11], header[12]
    width, height, byte_order = header[4], header[5], header[7]
    masks, ncolors = header[14:17], header[19]
    if bits_per_pixel not in (24, 32):
        raise RuntimeError("expected 24 or 32 bits a pixel, got %d" % bits_per_pixel)
    size = bits_per_pixel // 8
    offset = header_size + 12 * ncolors
    image = data[offset:offset + bytes_per_line * height]
    rows = b"".join(image[y * bytes_per_line:y * bytes_per_line + size * width]
                    for y in range(height))
    channels = []
    for mask in masks:
        shift = (mask & -mask).bit_length() - 1
        index = shift // 8 if byte_order == 0 else size - 1 - shift // 8
        channels.append(rows[index::size])
    return Picture(width, height, *channels)


def is_colour(pixel: Pixel, colour: Pixel, tolerance: int = 3) -> bool:
    return all(abs(p - c) <= tolerance for p, c in zip(pixel, colour))


def shows_sky(picture: Picture, colour: Pixel) -> bool:
    """The upper left of the view (above eye level, clear of the read-out) is mostly
    the clear colour; birds crossing it only lower the share."""
    return picture.share(lambda p: is_colour(p, colour), 0, 0, 320, 200) > 0.5


def is_readout_red(pixel: Pixel) -> bool:
    r, g, b = pixel
    return r >= 200 and g <= 70 and b <= 70


def shows_scene(picture: Picture, sky: Pixel) -> bool:
    """The window shows the scene: that sky, and the red read-out in the upper right
    quarter (20 pixels at least) and nowhere else."""
    inside = sum(1 for p in picture.pixels(picture.width // 2, 0, picture.width,
                                           picture.height // 2) if is_readout_red(p))
    everywhere = sum(1 for p in picture.pixels() if is_readout_red(p))
    return shows_sky(picture, sky) and inside >= 20 and inside == everywhere
