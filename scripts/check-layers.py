#!/usr/bin/env python3
"""Checks that src/ includes follow the layer order the README writes down.

Each src/<folder> may include its own headers and those of the folders its README line names.
Inside platform/, a backend folder (x11, wayland, portal, fakes) includes only the root
interfaces, xdg/ (what every desktop shares) and itself, and only the factory (PlatformServices)
includes backends. Prints every include that breaks a rule and exits 1 if there is one.
"""
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z]+)/([^"]*)"', re.MULTILINE)
FACTORY = {"PlatformServices.cpp", "PlatformServices.h"}
SHARED = "xdg"


def allowed_edges(readme: str) -> dict[str, set[str]]:
    """Reads the indented block after "dependencies point one way:"."""
    block = readme.split("dependencies point one way:", 1)[1].lstrip("\n")
    edges: dict[str, set[str]] = {}
    everywhere: set[str] = set()
    current: list[str] = []
    for line in block.splitlines():
        if not line.startswith("    "):
            break
        text = re.sub(r"\(.*", "", line.strip())
        if "->" in text:
            left, right = text.split("->", 1)
            current = [name.strip() for name in left.split(",") if name.strip()]
        else:
            right = text
        targets = {name.strip() for name in right.split(",") if re.fullmatch(r"[a-z]+", name.strip())}
        if current == ["every folder"]:
            everywhere.update(targets)
        for name in current:
            edges.setdefault(name, set()).update(targets)
    return {name: targets | everywhere for name, targets in edges.items()}


def platform_part(path: pathlib.Path) -> str:
    """The backend folder a platform file lives in, or "" for the root."""
    parts = path.relative_to(ROOT / "src" / "platform").parts
    return parts[0] if len(parts) > 1 else ""


def main() -> int:
    edges = allowed_edges((ROOT / "README.md").read_text(encoding="utf-8"))
    folders = {p.name for p in (ROOT / "src").iterdir() if p.is_dir()}
    faults = [f"src/{name}/ has no line in the README's dependency list"
              for name in sorted(folders - edges.keys())]
    for path in sorted((ROOT / "src").rglob("*")):
        if path.suffix not in {".h", ".cpp"}:
            continue
        folder = path.relative_to(ROOT / "src").parts[0]
        text = path.read_text(encoding="utf-8")
        for match in INCLUDE.finditer(text):
            target, rest = match.group(1), match.group(2)
            if target not in folders:
                continue
            where = f"{path.relative_to(ROOT)}: includes {target}/{rest}"
            if target != folder and target not in edges.get(folder, set()):
                faults.append(f"{where}, but {folder} -> {target} is not in the README")
            if target != "platform" or "/" not in rest:
                continue
            backend = rest.split("/", 1)[0]
            if backend == SHARED:
                continue
            if folder != "platform":
                faults.append(f"{where}: only the platform factory reaches a backend")
            elif platform_part(path) == "" and path.name not in FACTORY:
                faults.append(f"{where}: only the platform factory reaches a backend")
            elif platform_part(path) not in ("", backend):
                faults.append(f"{where}: one backend includes another's header")
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
