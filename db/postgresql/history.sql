-- The history of waiter changes (PostgreSQL): one row in GPEHISTVENDEDOR for every change of the
-- waiter (CDVENDEDOR) of an item (ITCOMANDAVEN) or of a sale (VENDAREST), however it is made,
-- written by triggers on those two restaurant tables in the same transaction as the change, with
-- who made it as the server sees the client: the application name the client set (the runtime
-- library's session calls itself 'res00011'; psql, another program, say what they say), its
-- address (null over a local socket) and the database user.
--
-- Installed by our schema scripts and, on an existing restaurant database, only on request
-- (res00011-report --install-history): these are the only objects of the package on the
-- restaurant's own tables. Everything goes into the current schema, beside the restaurant's
-- tables; the trigger functions write into the schema of the table that fired them, whatever
-- the search path of the client that changed it. They run with their owner's rights, so that
-- the terminals' user needs no right on the history table and cannot write into it directly.
-- Every statement may run again; terminals that install at once take turns (the advisory lock).
--
-- The copied keys and codes are declared without a width and nothing in the row is required
-- beyond what every change has, so that recording a change can never make the change fail; a
-- recording that fails all the same (the history table dropped, say) is a warning in the server's
-- log, and the change goes ahead.

BEGIN;
SELECT pg_advisory_xact_lock(1100200002);

-- The triggers go on the tables the search path finds and the history beside them in the
-- current schema; were those two schemas apart, the triggers would write where no history is.
DO $$
DECLARE
    v_table TEXT;
BEGIN
    FOREACH v_table IN ARRAY ARRAY['itcomandaven', 'vendarest'] LOOP
        IF (SELECT relnamespace FROM pg_class WHERE oid = to_regclass(v_table))
               IS DISTINCT FROM (SELECT oid FROM pg_namespace WHERE nspname = current_schema()) THEN
            RAISE EXCEPTION 'table % is not in the current schema (%): set the connection''s Schema to the restaurant''s',
                upper(v_table), current_schema();
        END IF;
    END LOOP;
END
$$;

CREATE TABLE IF NOT EXISTS GPEHISTVENDEDOR (
    NRHISTORICO    BIGSERIAL PRIMARY KEY,
    DTHRALTERACAO  TIMESTAMP NOT NULL,
    NMTABELA       VARCHAR   NOT NULL,  -- ITCOMANDAVEN or VENDAREST
    CDFILIAL       VARCHAR,
    CDLOJA         VARCHAR,             -- the sale's store and table at the time of the change
    NRMESA         VARCHAR,
    NRVENDAREST    VARCHAR,
    NRCOMANDA      VARCHAR,             -- the item's keys; null for a sale
    NRPRODCOMVEN   VARCHAR,
    CDPRODUTO      VARCHAR,
    CDVENDEDORANT  VARCHAR,             -- the waiter before and after
    CDVENDEDORNOV  VARCHAR,
    NMAPLICACAO    VARCHAR,             -- who, as the server sees the client
    DSENDERECO     VARCHAR,
    NMUSUARIO      VARCHAR
);
CREATE INDEX IF NOT EXISTS IX_GPEHISTVENDEDOR_DATA ON GPEHISTVENDEDOR (CDFILIAL, CDLOJA, DTHRALTERACAO);

-- The wall-clock time of the change itself (not of its transaction's start), to the second, in
-- the session's time zone like the restaurant's own times.
CREATE OR REPLACE FUNCTION GPE_HISTVENDEDOR_ITEM() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
    v_loja VARCHAR;
    v_mesa VARCHAR;
BEGIN
    EXECUTE format('SELECT CDLOJA, NRMESA FROM %I.VENDAREST WHERE CDFILIAL = $1 AND NRVENDAREST = $2',
                   TG_TABLE_SCHEMA)
        INTO v_loja, v_mesa USING NEW.CDFILIAL, NEW.NRVENDAREST;
    EXECUTE format('INSERT INTO %I.GPEHISTVENDEDOR (DTHRALTERACAO, NMTABELA, CDFILIAL, CDLOJA, NRMESA, NRVENDAREST, '
                   'NRCOMANDA, NRPRODCOMVEN, CDPRODUTO, CDVENDEDORANT, CDVENDEDORNOV, NMAPLICACAO, DSENDERECO, '
                   'NMUSUARIO) VALUES (date_trunc(''second'', clock_timestamp())::timestamp, ''ITCOMANDAVEN'', '
                   '$1, $2, $3, $4, $5, $6, $7, $8, $9, current_setting(''application_name''), '
                   'host(inet_client_addr()), session_user)', TG_TABLE_SCHEMA)
        USING NEW.CDFILIAL, v_loja, v_mesa, NEW.NRVENDAREST, NEW.NRCOMANDA, NEW.NRPRODCOMVEN, NEW.CDPRODUTO,
              OLD.CDVENDEDOR, NEW.CDVENDEDOR;
    RETURN NULL;
EXCEPTION WHEN OTHERS THEN
    RAISE WARNING 'GPEHISTVENDEDOR: change of waiter not recorded: %', SQLERRM;
    RETURN NULL;
END
$$;

CREATE OR REPLACE FUNCTION GPE_HISTVENDEDOR_VENDA() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
BEGIN
    EXECUTE format('INSERT INTO %I.GPEHISTVENDEDOR (DTHRALTERACAO, NMTABELA, CDFILIAL, CDLOJA, NRMESA, NRVENDAREST, '
                   'CDVENDEDORANT, CDVENDEDORNOV, NMAPLICACAO, DSENDERECO, NMUSUARIO) VALUES '
                   '(date_trunc(''second'', clock_timestamp())::timestamp, ''VENDAREST'', $1, $2, $3, $4, $5, $6, '
                   'current_setting(''application_name''), host(inet_client_addr()), session_user)', TG_TABLE_SCHEMA)
        USING NEW.CDFILIAL, NEW.CDLOJA, NEW.NRMESA, NEW.NRVENDAREST, OLD.CDVENDEDOR, NEW.CDVENDEDOR;
    RETURN NULL;
EXCEPTION WHEN OTHERS THEN
    RAISE WARNING 'GPEHISTVENDEDOR: change of waiter not recorded: %', SQLERRM;
    RETURN NULL;
END
$$;

DROP TRIGGER IF EXISTS TR_ITCOMANDAVEN_GPEHIST ON ITCOMANDAVEN;
CREATE TRIGGER TR_ITCOMANDAVEN_GPEHIST AFTER UPDATE ON ITCOMANDAVEN
    FOR EACH ROW WHEN (OLD.CDVENDEDOR IS DISTINCT FROM NEW.CDVENDEDOR) EXECUTE FUNCTION GPE_HISTVENDEDOR_ITEM();

DROP TRIGGER IF EXISTS TR_VENDAREST_GPEHIST ON VENDAREST;
CREATE TRIGGER TR_VENDAREST_GPEHIST AFTER UPDATE ON VENDAREST
    FOR EACH ROW WHEN (OLD.CDVENDEDOR IS DISTINCT FROM NEW.CDVENDEDOR) EXECUTE FUNCTION GPE_HISTVENDEDOR_VENDA();

COMMIT;
