-- The offer's Ausführungszeitraum, which an invoice of the job takes as its Leistungszeitraum.
-- YYYY-MM-DD, empty when the offer named none (or "nach Vereinbarung").
ALTER TABLE offers ADD COLUMN work_from TEXT NOT NULL DEFAULT '';
ALTER TABLE offers ADD COLUMN work_until TEXT NOT NULL DEFAULT '';
