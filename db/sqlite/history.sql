-- The history of waiter changes (SQLite): one row in GPEHISTVENDEDOR for every change of the
-- waiter (CDVENDEDOR) of an item (ITCOMANDAVEN) or of a sale (VENDAREST), however it is made,
-- written by triggers on those two restaurant tables in the same transaction as the change.
-- SQLite knows nothing of the client that made it: the application, address and user stay null.
--
-- Installed by our schema scripts and, on an existing restaurant database, only on request
-- (res00011-report --install-history): these are the only objects of the package on the
-- restaurant's own tables. Every statement may run again; the installer runs the script in one
-- transaction.
--
-- The copied keys and codes are declared without a width and nothing in the row is required
-- beyond what every change has, so that recording a change can never make the change fail.

BEGIN IMMEDIATE;

CREATE TABLE IF NOT EXISTS GPEHISTVENDEDOR (
    NRHISTORICO    INTEGER PRIMARY KEY AUTOINCREMENT,
    DTHRALTERACAO  DATETIME NOT NULL,
    NMTABELA       VARCHAR  NOT NULL,  -- ITCOMANDAVEN or VENDAREST
    CDFILIAL       VARCHAR,
    CDLOJA         VARCHAR,            -- the sale's store and table at the time of the change
    NRMESA         VARCHAR,
    NRVENDAREST    VARCHAR,
    NRCOMANDA      VARCHAR,            -- the item's keys; null for a sale
    NRPRODCOMVEN   VARCHAR,
    CDPRODUTO      VARCHAR,
    CDVENDEDORANT  VARCHAR,            -- the waiter before and after
    CDVENDEDORNOV  VARCHAR,
    NMAPLICACAO    VARCHAR,            -- who, where the engine knows
    DSENDERECO     VARCHAR,
    NMUSUARIO      VARCHAR
);
CREATE INDEX IF NOT EXISTS IX_GPEHISTVENDEDOR_DATA ON GPEHISTVENDEDOR (CDFILIAL, CDLOJA, DTHRALTERACAO);

DROP TRIGGER IF EXISTS TR_ITCOMANDAVEN_GPEHIST;
CREATE TRIGGER TR_ITCOMANDAVEN_GPEHIST AFTER UPDATE ON ITCOMANDAVEN
FOR EACH ROW WHEN OLD.CDVENDEDOR IS NOT NEW.CDVENDEDOR
BEGIN
    INSERT INTO GPEHISTVENDEDOR (DTHRALTERACAO, NMTABELA, CDFILIAL, CDLOJA, NRMESA, NRVENDAREST, NRCOMANDA,
                                 NRPRODCOMVEN, CDPRODUTO, CDVENDEDORANT, CDVENDEDORNOV)
    VALUES (strftime('%Y-%m-%d %H:%M:%S', 'now', 'localtime'), 'ITCOMANDAVEN', NEW.CDFILIAL,
            (SELECT V.CDLOJA FROM VENDAREST V WHERE V.CDFILIAL = NEW.CDFILIAL AND V.NRVENDAREST = NEW.NRVENDAREST),
            (SELECT V.NRMESA FROM VENDAREST V WHERE V.CDFILIAL = NEW.CDFILIAL AND V.NRVENDAREST = NEW.NRVENDAREST),
            NEW.NRVENDAREST, NEW.NRCOMANDA, NEW.NRPRODCOMVEN, NEW.CDPRODUTO, OLD.CDVENDEDOR, NEW.CDVENDEDOR);
END;

DROP TRIGGER IF EXISTS TR_VENDAREST_GPEHIST;
CREATE TRIGGER TR_VENDAREST_GPEHIST AFTER UPDATE ON VENDAREST
FOR EACH ROW WHEN OLD.CDVENDEDOR IS NOT NEW.CDVENDEDOR
BEGIN
    INSERT INTO GPEHISTVENDEDOR (DTHRALTERACAO, NMTABELA, CDFILIAL, CDLOJA, NRMESA, NRVENDAREST, CDVENDEDORANT,
                                 CDVENDEDORNOV)
    VALUES (strftime('%Y-%m-%d %H:%M:%S', 'now', 'localtime'), 'VENDAREST', NEW.CDFILIAL, NEW.CDLOJA, NEW.NRMESA,
            NEW.NRVENDAREST, OLD.CDVENDEDOR, NEW.CDVENDEDOR);
END;

COMMIT;
