"""The memory contract: after the warm-up, resident memory does not grow."""

import statistics
from typing import List, NamedTuple, Sequence

MEMORY_SLOPE_LIMIT_KIB = 512  # KiB a round trip: half the smallest leak worth finding


class MemoryVerdict(NamedTuple):
    slope_kib: float  # Theil-Sen slope of resident memory, KiB a round trip
    limit_kib: float
    samples_kib: List[int]

    def holds(self) -> bool:
        return self.slope_kib <= self.limit_kib


def memory_verdict(samples_kib: Sequence[int], warm_up: int,
                   limit_kib: float = MEMORY_SLOPE_LIMIT_KIB) -> MemoryVerdict:
    """The memory contract: after `warm_up` round trips resident memory does not grow.
    Judged by the median of the slopes between every pair of later samples, which a
    jump of the allocator's level by ten megabytes moves little, while a leak of one
    texture buffer a trip (a megabyte) moves every slope."""
    settled = list(samples_kib[warm_up:])
    slopes = [(settled[j] - settled[i]) / (j - i)
              for i in range(len(settled)) for j in range(i + 1, len(settled))]
    return MemoryVerdict(statistics.median(slopes), limit_kib, list(samples_kib))
