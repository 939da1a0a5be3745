-- Brings the operations package's tables of version 1 to the columns of version 2 (SQLite, which
-- cannot add a column only when it is missing). The package runs it once, inside the transaction
-- that finds version 1 and then runs operations.sql, which fills the new columns and tables.
ALTER TABLE GPERESERVA ADD COLUMN DTHRRETENCAO DATETIME;
ALTER TABLE GPERESERVA ADD COLUMN DTHRFIMPREV DATETIME;
ALTER TABLE GPERESERVA ADD COLUMN DTHRLIMITE DATETIME;
ALTER TABLE GPERESERVA ADD COLUMN NRTELEFONE VARCHAR(20);
ALTER TABLE GPERESERVA ADD COLUMN DSOBSERVACAO VARCHAR(200);
