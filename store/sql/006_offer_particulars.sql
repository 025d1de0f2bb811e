-- What the offer dialog chose beyond the columns above (texts, tax case, building site, period,
-- instalments, signature line, slip) as the program's JSON, so that an offer can be made again as
-- it went out. Empty for offers recorded before: they are made again with the default texts.
ALTER TABLE offers ADD COLUMN particulars TEXT NOT NULL DEFAULT '';
