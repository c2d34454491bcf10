-- A hiscore store as blubbi-hiscore 1.0 (schema 3) made it: blubbi-hiscore-seed with 6 scores,
-- then "Jörg 1" banned by name. Dumped as SQL; the tests open it with the current server.
PRAGMA user_version = 3;
BEGIN TRANSACTION;
CREATE TABLE bans (kind TEXT NOT NULL, value TEXT NOT NULL, PRIMARY KEY (kind, value));
INSERT INTO "bans" VALUES('name','Jörg 1');
CREATE TABLE pictures (score_id INTEGER PRIMARY KEY REFERENCES scores (id), png BLOB NOT NULL);
CREATE TABLE replays (score_id INTEGER PRIMARY KEY REFERENCES scores (id), bytes BLOB NOT NULL);
INSERT INTO "replays" VALUES(1,X'736565646564207265706C61792030');
INSERT INTO "replays" VALUES(2,X'736565646564207265706C61792031');
INSERT INTO "replays" VALUES(3,X'736565646564207265706C61792032');
INSERT INTO "replays" VALUES(4,X'736565646564207265706C61792033');
INSERT INTO "replays" VALUES(5,X'736565646564207265706C61792034');
INSERT INTO "replays" VALUES(6,X'736565646564207265706C61792035');
CREATE TABLE scores (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  name TEXT NOT NULL,
  points INTEGER NOT NULL,
  level INTEGER NOT NULL,
  frames INTEGER NOT NULL,
  verified INTEGER NOT NULL,
  ranked INTEGER NOT NULL,
  note TEXT NOT NULL,
  replay_hash TEXT NOT NULL UNIQUE,
  created_at INTEGER NOT NULL, data_version TEXT NOT NULL DEFAULT '', hidden INTEGER NOT NULL DEFAULT 0);
INSERT INTO "scores" VALUES(1,'Anna 0',2542,18,87876,1,0,'Level-Editor benutzt','seed-0',1790000000,'',0);
INSERT INTO "scores" VALUES(2,'Jörg 1',1414,7,48335,1,1,'','seed-1',1790000060,'',1);
INSERT INTO "scores" VALUES(3,'Zoë 2',3620,15,95950,1,1,'','seed-2',1790000120,'',0);
INSERT INTO "scores" VALUES(4,'Bernd 3',2113,29,90014,1,1,'','seed-3',1790000180,'',0);
INSERT INTO "scores" VALUES(5,'Ülkü 4',2210,25,99231,1,1,'','seed-4',1790000240,'',0);
INSERT INTO "scores" VALUES(6,'Maja 5',2572,6,9295,1,1,'','seed-5',1790000300,'',0);
CREATE INDEX scores_order ON scores (ranked DESC, points DESC, id);
CREATE INDEX scores_shown ON scores (hidden, ranked DESC, points DESC, id);
CREATE VIEW shown AS SELECT * FROM scores WHERE hidden = 0;
DELETE FROM "sqlite_sequence";
INSERT INTO "sqlite_sequence" VALUES('scores',6);
COMMIT;
