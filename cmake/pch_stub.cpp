// The translation unit that carries a shared precompiled header; it has no code of its own.
