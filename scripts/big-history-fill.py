#!/usr/bin/env python3
"""Fills a new Orvantide history with text clips of random Spanish words, in one transaction.

    scripts/big-history-fill.py DATABASE CLIPS CHARACTERS

One clip in a hundred holds the word "aguja" (no other does); the newest clip is the last one.
Prints the number of clips that hold it.
"""
import os
import random
import sqlite3
import sys
import time

# The table as the program creates it (src/store/HistoryStore.cpp).
SCHEMA = """
PRAGMA journal_mode = WAL;
CREATE TABLE IF NOT EXISTS clips (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    kind TEXT NOT NULL,
    value TEXT NOT NULL UNIQUE,
    html TEXT,
    image TEXT,
    source TEXT,
    created_at INTEGER NOT NULL,
    pinned INTEGER NOT NULL DEFAULT 0
);
"""

NEEDLE = "aguja"

# Accented words among plain ones, so that texts have two-byte characters.
WORDS = """
casa perro gato mesa silla libro ventana puerta calle ciudad río montaña playa cielo sol luna
estrella nube lluvia viento fuego tierra agua mar bosque campo flor hoja rama raíz semilla
fruta manzana naranja limón pera uva plátano pan queso leche huevo carne pescado arroz sopa
café té azúcar sal aceite vino cerveza vaso plato cuchara tenedor cuchillo olla sartén
cocina baño dormitorio salón jardín terraza escalera techo pared suelo lámpara espejo cama
almohada manta reloj teléfono ordenador pantalla teclado ratón cable papel lápiz bolígrafo
cuaderno carpeta mochila zapato camisa pantalón falda abrigo sombrero bufanda guante
niño niña hombre mujer padre madre hermano hermana abuelo abuela amigo vecino médico
maestro alumno escuela universidad hospital mercado tienda banco oficina fábrica museo
teatro música canción película pintura fotografía poema novela historia noticia periódico
revista carta mensaje pregunta respuesta idea sueño recuerdo camino viaje avión tren barco
coche autobús bicicleta camión estación aeropuerto puerto país región pueblo isla océano
desierto selva volcán lago fuente puente torre castillo iglesia plaza parque árbol pájaro
mariposa abeja caballo vaca oveja cerdo pollo conejo ratón león tigre oso lobo zorro
rápido lento grande pequeño alto bajo nuevo viejo joven bonito feo fácil difícil débil
fuerte cálido frío húmedo seco limpio sucio caro barato último primero próximo único
también además quizá todavía mañana ayer hoy siempre nunca después antes aquí allí así
está había tenía podría sería hacía decía corría comió bebió escribió leyó cantó bailó
corazón razón canción acción lección estación opinión atención información dirección
según través país años sofá menú champú bebé mamá papá jamás quizás detrás además
pingüino cigüeña vergüenza antigüedad lingüística
""".split()
assert not any(NEEDLE in word for word in WORDS)

SEPARATORS = [" "] * 14 + [", ", ". "]


def text(rng, characters, with_needle):
    count = characters // 5 + 8
    words = rng.choices(WORDS, k=count)
    separators = rng.choices(SEPARATORS, k=count)
    if with_needle:
        # Early, so that the cut to length keeps it (checked by the caller).
        words[rng.randrange(max(1, count // 4))] = NEEDLE
    pieces = []
    for word, separator in zip(words, separators):
        pieces.append(word)
        pieces.append(separator)
    value = "".join(pieces)
    while len(value) < characters:
        value += " " + " ".join(rng.choices(WORDS, k=characters // 5 + 8))
    value = value[:characters]
    # Ends on a letter, as a trimmed copy would.
    return value if value[-1] not in " ,." else value[:-1] + "s"


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__.strip())
    database, clips, characters = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    if clips < 1 or characters < 20:
        sys.exit("big-history-fill.py: at least 1 clip of 20 characters")
    folder = os.path.dirname(os.path.abspath(database))
    os.makedirs(folder, mode=0o700, exist_ok=True)
    os.chmod(folder, 0o700)
    # Made before SQLite opens it, so that it is never readable by others; the log files that
    # SQLite creates next to it take its mode.
    os.close(os.open(database, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600))
    os.chmod(database, 0o600)

    rng = random.Random(20261208)
    step = 100
    newest = int(time.time() * 1000)
    rows = []
    seen = set()
    with_needle = 0
    for index in range(clips):
        needle = index % step == step // 2 or (clips < step and index == clips - 1)
        value = text(rng, characters, needle)
        while value in seen or (needle and NEEDLE not in value):
            value = text(rng, characters, needle)
        seen.add(value)
        with_needle += needle
        rows.append(("text", value, newest - (clips - 1 - index) * 1000))

    connection = sqlite3.connect(database)
    connection.executescript(SCHEMA)
    with connection:
        connection.executemany(
            "INSERT INTO clips (kind, value, created_at) VALUES (?, ?, ?)", rows)
    connection.close()
    print(with_needle)


if __name__ == "__main__":
    main()
