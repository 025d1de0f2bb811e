-- Version 1: what the program kept in settings and loose files before, shared by every PC.
-- Plain SQL that SQLite and PostgreSQL both take: TEXT, BIGINT and constraints only.

-- The firm's own data for the letterhead, one row per value, named as in the old settings group
-- ("Firma", "IBAN", ...). A missing row means "never stored", which is not the same as empty.
CREATE TABLE firm_data (
    name  TEXT PRIMARY KEY,
    value TEXT NOT NULL
);

-- The recipient's address remembered per customer name; lines separated by "\n".
CREATE TABLE addresses (
    customer TEXT PRIMARY KEY,
    address  TEXT NOT NULL
);

-- The shared customer list: a set of names.
CREATE TABLE customers (
    name TEXT PRIMARY KEY
);

-- Counts every change of a shared list, so another PC can tell cheaply that it must refresh.
CREATE TABLE change_counters (
    name  TEXT PRIMARY KEY,
    value BIGINT NOT NULL
);
INSERT INTO change_counters (name, value) VALUES ('kunden', 0);

-- One row per counter name and year; last_value is the last number handed out. Numbers are taken
-- only with this row locked in the transaction that records what the number is for.
CREATE TABLE number_counters (
    name       TEXT NOT NULL,
    year       BIGINT NOT NULL,
    last_value BIGINT NOT NULL CHECK (last_value >= 0),
    PRIMARY KEY (name, year)
);

-- Facts about the store itself, e.g. when the old files were taken over.
CREATE TABLE store_info (
    name  TEXT PRIMARY KEY,
    value TEXT NOT NULL
);
