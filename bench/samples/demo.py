#!/usr/bin/env python3
# -*- coding: utf-8 -*-
"""Inventory helpers used by the demo."""

import json   
from dataclasses import dataclass


# A single stock-keeping unit.
@dataclass
class Item:
    """One line of the inventory."""
    sku: str      # unique key
    quantity: int = 0



def load(path):
    """Read the inventory file."""
    # The file is a JSON list of objects.
    with open(path, encoding="utf-8") as handle:
        raw = json.load(handle)   
    return [Item(**row) for row in raw]  # tersewright:keep -- validated upstream


def total(items):
    try:
        return sum(item.quantity for item in items)
    except TypeError:  # a quantity was not a number
        raise ValueError("bad quantity")
