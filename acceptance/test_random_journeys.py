"""Seeded random journeys (random_runner.py) within the suite: SCRIVLET_JOURNEY_SEQUENCES
sequences (3 unless told) of SCRIVLET_JOURNEY_STEPS steps (30), from SCRIVLET_JOURNEY_SEED (1).
reliability/journeys runs many more."""

import os

import pytest

from random_runner import Runner

SEQUENCES = int(os.environ.get("SCRIVLET_JOURNEY_SEQUENCES", "3"))
STEPS = int(os.environ.get("SCRIVLET_JOURNEY_STEPS", "30"))
FIRST_SEED = int(os.environ.get("SCRIVLET_JOURNEY_SEED", "1"))
TOLERATE = [name for name in os.environ.get("SCRIVLET_JOURNEY_TOLERATE", "").split(",") if name]


@pytest.mark.parametrize("seed", range(FIRST_SEED, FIRST_SEED + SEQUENCES))
def test_random_journey(scrivlet, seed):
    Runner(scrivlet, seed, STEPS, TOLERATE).run()
