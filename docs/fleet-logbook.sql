-- A lab's shared logbook on a PostgreSQL server (10 or newer: records are numbered by identity
-- columns), set up once by an administrator:
--
--     sudo -u postgres psql -v ON_ERROR_STOP=1 < docs/fleet-logbook.sql
--
-- It makes the database qv_logbook and four kinds of role:
--
--   qv_owner        owns the database and, once the program has made them, its tables. Only the
--                   program run as this role creates the tables or brings them to a newer
--                   version; its password stays with the administrator, never on a workstation.
--   qv_workstation  a group: may read the logbook, add records through the logbook's function
--                   logbook_add and set the lab's check intervals through
--                   logbook_set_interval and the tiles' certificates through
--                   logbook_add_tile_certificate (each a row added), never insert into a table
--                   itself, nor change or remove anything.
--   qv_auditor      may only read (the check intervals and the tiles' certificates too, and
--                   the views fleet_status and check_trend a dashboard reads:
--                   docs/fleet-views.md).
--   ws_plant1, ...  one login per workstation, each a member of qv_workstation.
--
-- No password is in this file. Give each login role one afterwards, in psql (it asks twice and
-- sends the server only a SCRAM hash, never the password itself):
--
--     \password qv_owner
--     \password ws_plant1
--
-- Then make the tables once, as the owner, from any machine that has the program:
--
--     QV_LOGBOOK=postgresql://qv_owner@dbhost/qv_logbook qvl70s-cli logbook where
--
-- The same run as the owner brings the tables up to date after a program update; a workstation
-- cannot, and says so until it is done.

-- The roles. The group roles cannot log in; members use their rights as their own.
CREATE ROLE qv_owner LOGIN;
CREATE ROLE qv_workstation NOLOGIN;
CREATE ROLE qv_auditor NOLOGIN;

-- One login per workstation, named as the lab likes (the records carry the workstation's own
-- name, QV_WORKSTATION or its host name, whoever logs in). Add one line per workstation, then
-- give it a password with \password. An auditor logs in as a member of qv_auditor.
CREATE ROLE ws_plant1 LOGIN IN ROLE qv_workstation;
CREATE ROLE ws_plant2 LOGIN IN ROLE qv_workstation;
CREATE ROLE audit_quality LOGIN IN ROLE qv_auditor;

CREATE DATABASE qv_logbook OWNER qv_owner ENCODING 'UTF8' TEMPLATE template0;

-- Only the logbook's own roles may connect (the owner always may): every role is a member of
-- PUBLIC, which may connect to any new database unless this is taken back.
REVOKE ALL ON DATABASE qv_logbook FROM PUBLIC;
GRANT CONNECT ON DATABASE qv_logbook TO qv_workstation, qv_auditor;

-- Everything below happens inside the new database, as a schema's rights and default privileges
-- are kept per database, and may be run again at any time to put the rights back as they
-- should be.
\connect qv_logbook

-- The tables go into the schema public. Before PostgreSQL 15 everybody (PUBLIC) may create
-- tables there and the superuser owns it; from 15 on it belongs to the database's owner and
-- PUBLIC only looks it up. Handing it to qv_owner and taking every right of PUBLIC back makes
-- both the same: only the owner creates, only the logbook's roles look tables up, and a role
-- outside them finds nothing here even if it is let in later.
ALTER SCHEMA public OWNER TO qv_owner;
REVOKE ALL ON SCHEMA public FROM PUBLIC;
GRANT USAGE ON SCHEMA public TO qv_workstation, qv_auditor;

-- The tables do not exist yet: the program makes them as qv_owner. Default privileges give each
-- table qv_owner creates here, now or in a later migration, its rights as it is made. A
-- workstation only reads the tables: it adds a record through the function logbook_add(jsonb),
-- which the program makes with the tables and which runs with qv_owner's rights. The function
-- adds a new record with all its rows in one statement, numbers it itself, sets the login that
-- sent it and the time the server received it, and refuses an id of the sender's own and texts
-- longer than the program ever sends. So a workstation can neither add rows to another
-- workstation's record nor a version to schema_version, and UPDATE, DELETE and TRUNCATE are
-- never granted: a record once on the server stays as it was recorded.
-- The same default gives both the views the owner makes for dashboards (fleet_status,
-- check_trend), which are only ever read.
ALTER DEFAULT PRIVILEGES FOR ROLE qv_owner IN SCHEMA public
    GRANT SELECT ON TABLES TO qv_workstation, qv_auditor;
-- Every new function may be run by PUBLIC unless this is taken back; only workstations may add.
ALTER DEFAULT PRIVILEGES FOR ROLE qv_owner REVOKE EXECUTE ON FUNCTIONS FROM PUBLIC;
ALTER DEFAULT PRIVILEGES FOR ROLE qv_owner IN SCHEMA public
    GRANT EXECUTE ON FUNCTIONS TO qv_workstation;

-- Tables made before these lines ran (when they are run again) get the same rights now, and
-- rights an earlier version of this file gave (INSERT on the tables, USAGE on the sequences)
-- are taken back; on a fresh database they touch nothing.
REVOKE INSERT, UPDATE, DELETE, TRUNCATE ON ALL TABLES IN SCHEMA public FROM qv_workstation;
REVOKE USAGE ON ALL SEQUENCES IN SCHEMA public FROM qv_workstation;
ALTER DEFAULT PRIVILEGES FOR ROLE qv_owner IN SCHEMA public
    REVOKE INSERT ON TABLES FROM qv_workstation;
ALTER DEFAULT PRIVILEGES FOR ROLE qv_owner IN SCHEMA public
    REVOKE USAGE ON SEQUENCES FROM qv_workstation;
GRANT SELECT ON ALL TABLES IN SCHEMA public TO qv_workstation, qv_auditor;
REVOKE EXECUTE ON ALL FUNCTIONS IN SCHEMA public FROM PUBLIC;
GRANT EXECUTE ON ALL FUNCTIONS IN SCHEMA public TO qv_workstation;
