"""The export catalogue as the package knows it: catalogue.json, generated from the library's
constexpr table by qrx-catalogue at build time, and the checks of a call's arguments."""
import difflib
import json
import os
from dataclasses import dataclass
from typing import Dict, List, Optional, Tuple

INT32_MIN, INT32_MAX = -2**31, 2**31 - 1

# Argument type letters of the catalogue.
INT, DOUBLE, TEXT, TEXT_BUFFER, DOUBLE_OUT, CALLBACK, OBSERVER = "idsbpco"
OUTPUTS = (TEXT_BUFFER, DOUBLE_OUT)

_TYPE_NAMES = {INT: "int", DOUBLE: "double", TEXT: "text", CALLBACK: "progress callback",
               OBSERVER: "log observer"}


class CatalogueError(TypeError):
    """A call that does not fit the export's row: unknown name, wrong count or type."""


@dataclass(frozen=True)
class Export:
    name: str
    arguments: str            # one type letter per C argument
    argument_names: Tuple[str, ...]
    shape: str
    service: str
    library_function: str
    operation: str
    staged: Tuple[Tuple[str, str, int], ...]
    buffer_size: Optional[int]

    @property
    def inputs(self) -> List[Tuple[int, str, str]]:
        """(position, type, name) of the arguments a caller gives; buffers are not among them."""
        return [(i, t, self.argument_names[i]) for i, t in enumerate(self.arguments)
                if t not in OUTPUTS]

    def signature(self) -> str:
        return ", ".join(f"{_TYPE_NAMES[t]} {n}" for _, t, n in self.inputs) or "no arguments"

    def check(self, args: tuple) -> None:
        """Raises CatalogueError unless args fit the export's inputs."""
        inputs = self.inputs
        if len(args) != len(inputs):
            raise CatalogueError(f"{self.name} takes {len(inputs)} argument(s) "
                                 f"({self.signature()}), got {len(args)}")
        for value, (position, kind, name) in zip(args, inputs):
            where = f"argument {name} of {self.name}"
            if kind == INT:
                if isinstance(value, bool) or not isinstance(value, int):
                    raise CatalogueError(f"{where} must be an int, got {value!r}")
                if not INT32_MIN <= value <= INT32_MAX:
                    raise CatalogueError(f"{where} must fit 32 bits, got {value}")
            elif kind == DOUBLE:
                if isinstance(value, bool) or not isinstance(value, (int, float)):
                    raise CatalogueError(f"{where} must be a number, got {value!r}")
                if not abs(value) < 1e80:
                    raise CatalogueError(f"{where} is out of range: {value!r}")
            elif kind == TEXT:
                if not isinstance(value, (str, bytes)):
                    raise CatalogueError(f"{where} must be a str or bytes, got {value!r}")
                if (b"\0" if isinstance(value, bytes) else "\0") in value:
                    raise CatalogueError(f"{where} holds a zero byte")
            elif kind in (CALLBACK, OBSERVER):
                if value is not None and not callable(value):
                    raise CatalogueError(f"{where} must be callable or None, got {value!r}")


class Catalogue:
    def __init__(self, rows: List[dict]):
        self._exports: Dict[str, Export] = {}
        for row in rows:
            export = Export(
                name=row["name"], arguments=row["arguments"],
                argument_names=tuple(row["argument_names"]), shape=row["shape"],
                service=row["service"], library_function=row["library_function"],
                operation=row["operation"],
                staged=tuple((s["section"], s["key"], s["argument"]) for s in row["staged"]),
                buffer_size=row.get("buffer_size"))
            self._exports[export.name] = export

    @classmethod
    def load(cls, path: Optional[str] = None) -> "Catalogue":
        path = path or os.path.join(os.path.dirname(__file__), "catalogue.json")
        with open(path, encoding="utf-8") as f:
            return cls(json.load(f))

    def __len__(self) -> int:
        return len(self._exports)

    def __iter__(self):
        return iter(self._exports.values())

    def __contains__(self, name: str) -> bool:
        return name in self._exports

    def find(self, name: str) -> Export:
        export = self._exports.get(name)
        if export is None:
            close = difflib.get_close_matches(name, self._exports, n=1, cutoff=0.8)
            hint = f" (did you mean {close[0]}?)" if close else ""
            raise CatalogueError(f"unknown export '{name}'{hint}")
        return export
