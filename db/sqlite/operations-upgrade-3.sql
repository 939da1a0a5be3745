-- Brings the operations package's tables of version 2 to the columns of version 3 (SQLite): the
-- journal's operation identity and the row an undo takes back. Runs once, inside the transaction
-- that finds version 2 (after operations-upgrade-2.sql on version 1), before operations.sql.
ALTER TABLE GPEJORNAL ADD COLUMN CDUUID VARCHAR(36);
ALTER TABLE GPEJORNAL ADD COLUMN NRJORNALDESF INTEGER;
