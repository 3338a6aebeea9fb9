#!/usr/bin/python3
"""The dBase driver as its users reach it: the program's "PDB -> DBF" in both variants, unixODBC's
isql and Python's pyodbc, with the files read back by dbfread, an independent dBase reader.

Environment: ODBCSYSINI (the build directory with odbcinst.ini), VESTIBO (the program),
VESTIBO_EXAMPLES (the bundled examples)."""
import datetime
import decimal
import os
import shutil
import struct
import subprocess
import tempfile
import unittest

import dbfread
import pyodbc

DRIVER = "Vestibo dBase Driver"
CONTAINER_DIR = os.path.join(os.environ.get("VESTIBO_EXAMPLES", "examples"), "handheld")


def run_program(dest, *driver):
    env = dict(os.environ)
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    return subprocess.run([os.environ["VESTIBO"], "PDBTODBF", CONTAINER_DIR, dest, *driver], env=env,
                          capture_output=True, timeout=120)


def read_table(path):
    return dbfread.DBF(path, encoding="cp1251", load=True, char_decode_errors="strict")


def file_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def header(path):
    data = file_bytes(path)
    records, header_length, record_length = struct.unpack("<IHH", data[4:12])
    return data, records, header_length, record_length


def money(value, decimals):
    return f"{value:.{decimals}f}".replace(".", ",")


class ConversionTest(unittest.TestCase):
    """order.dbf, orderitem.dbf and orders.dbf as another dBase reader sees them."""

    VARIANTS = [
        # driver name, width and decimals of Total/Discount/Quantity/Price
        ((), (19, 6)),
        (("Vestibo VFP Driver",), (15, 3)),
    ]

    def check_files(self, dest, number_layout):
        for name in ("order.dbf", "orderitem.dbf", "orders.dbf"):
            data, records, header_length, record_length = header(os.path.join(dest, name))
            self.assertEqual(data[0], 0x03, name)        # dBase III
            self.assertEqual(data[29], 0xC9, name)       # Windows-1251
            self.assertEqual(len(data), header_length + records * record_length + 1, name)
            self.assertEqual(data[-1], 0x1A, name)       # end-of-file byte

        orders = read_table(os.path.join(dest, "order.dbf"))
        items = read_table(os.path.join(dest, "orderitem.dbf"))
        flat = read_table(os.path.join(dest, "orders.dbf"))
        layout = {f.name: (f.type, f.length, f.decimal_count) for f in orders.fields}
        self.assertEqual(layout["ID"], ("N", 11, 0))
        self.assertEqual(layout["ORDERDATE"], ("D", 8, 0))
        self.assertEqual(layout["TOTAL"], ("N", *number_layout))
        self.assertEqual(layout["PRIM"], ("C", 200, 0))
        self.assertEqual([(f.name, f.type, f.length) for f in flat.fields][:3],
                         [("IDORDER", "C", 15), ("IDITEM", "C", 15), ("ORDERDATE", "C", 15)])
        self.assertGreater(len(orders.records), 0)
        self.assertTrue(any("Доставить" in (r["PRIM"] or "") for r in orders.records))

        # orders.dbf is the merge of the other two, as the office imports it.
        expected, line = [], 0
        pending = sorted(items.records, key=lambda r: r["IDORDER"])
        for o in sorted(orders.records, key=lambda r: r["ID"]):
            expected.append([str(o["ID"]), "0", o["ORDERDATE"].strftime("%d.%m.%Y"),
                             o["DELIVDATE"].strftime("%d.%m.%Y"), str(o["IDCUSTOMER"]), str(o["IDPAYMENT"]),
                             money(o["TOTAL"], 2), str(o["COUNTROW"]), str(o["NPRICE"]), money(o["DISCOUNT"], 2),
                             o["PRIM"] or "", o["ORDERTIME"] or ""])
            for i in [i for i in pending if i["IDORDER"] == o["ID"]]:
                line += 1
                expected.append([str(o["ID"]), str(line), str(i["IDPRODUCT"]), money(i["QUANTITY"], 3), money(i["PRICE"], 2),
                                 "", money(i["QUANTITY"] * i["PRICE"], 2), "", "", "", "", ""])
        got = [[r[f.name] or "" for f in flat.fields][:12] for r in flat.records]
        self.assertEqual(got, expected)

    def test_both_variants_and_a_second_run(self):
        for driver, layout in self.VARIANTS:
            with self.subTest(driver=driver), tempfile.TemporaryDirectory() as dest:
                for run in range(2):  # the second run replaces the first run's files
                    result = run_program(dest, *driver)
                    self.assertEqual(result.returncode, 0, result.stderr.decode(errors="replace"))
                    self.check_files(dest, layout)


# What PostgreSQL needs to stand in for a dBase directory (see tests/app): "orderItem.dbf" names
# the order-line table there.
STAND_IN = r"""
CREATE FUNCTION dbf_stand_in() RETURNS event_trigger LANGUAGE plpgsql AS $$
DECLARE command record; name text;
BEGIN
  FOR command IN SELECT * FROM pg_event_trigger_ddl_commands() WHERE command_tag = 'CREATE TABLE' LOOP
    SELECT relname INTO name FROM pg_class WHERE oid = command.objid;
    IF name = 'orderitem.dbf' THEN CREATE VIEW "orderItem.dbf" AS SELECT * FROM "orderitem.dbf"; END IF;
  END LOOP;
END $$;
CREATE EVENT TRIGGER dbf_stand_in ON ddl_command_end WHEN TAG IN ('CREATE TABLE') EXECUTE FUNCTION dbf_stand_in();
"""


@unittest.skipUnless(os.environ.get("VESTIBO_PG_SOCKET") or os.environ.get("CI") == "true",
                     "no PostgreSQL test server (scripts/test-services/postgres.sh)")
class SameRowsAsPostgresTest(unittest.TestCase):
    """The same container through the PostgreSQL driver gives the same orders.dbf rows."""

    def psql(self, database, sql):
        return subprocess.run(["psql", "-X", "-q", "-A", "-t", "-F", "\x1f", "-v", "ON_ERROR_STOP=1", "-d", database],
                              input=sql.encode("cp1251"), capture_output=True, check=True, timeout=60,
                              env={k: v for k, v in os.environ.items() if k != "LD_PRELOAD"}).stdout

    def test_orders_rows(self):
        database = f"vestibo_dbf_cmp_{os.getpid()}"
        self.psql("postgres", f"CREATE DATABASE {database} ENCODING 'SQL_ASCII' LC_COLLATE 'C' LC_CTYPE 'C' "
                              "TEMPLATE template0")
        self.addCleanup(self.psql, "postgres", f"DROP DATABASE {database}")
        self.psql(database, STAND_IN)
        with tempfile.TemporaryDirectory() as registry, tempfile.TemporaryDirectory() as dest:
            with open(os.path.join(os.environ["ODBCSYSINI"], "odbcinst.ini")) as ours, \
                    open(os.path.join(registry, "odbcinst.ini"), "w") as ini:
                ini.write(ours.read() + "\n[PostgreSQL as dBase]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/psqlodbca.so\n")
            env = dict(os.environ, ODBCSYSINI=registry, PGDATABASE=database)
            for driver, where in (((), dest), (("PostgreSQL as dBase",), registry)):
                result = subprocess.run([os.environ["VESTIBO"], "PDBTODBF", CONTAINER_DIR, where, *driver],
                                        env={k: v for k, v in env.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")},
                                        capture_output=True, timeout=120)
                self.assertEqual(result.returncode, 0, result.stderr.decode(errors="replace"))
            ours = [[r[f.name] or "" for f in read_table(os.path.join(dest, "orders.dbf")).fields]
                    for r in read_table(os.path.join(dest, "orders.dbf")).records]
            theirs = [[v.rstrip(" ") for v in line.split("\x1f")]
                      for line in self.psql(database, 'SELECT * FROM "orders.dbf" ORDER BY ctid').decode("cp1251").splitlines()]
            self.assertTrue(ours)
            self.assertEqual(ours, theirs)


class ClientTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.dir)

    def connect(self, autocommit=True):
        cnxn = pyodbc.connect(f"DRIVER={{{DRIVER}}};DefaultDir={self.dir}", autocommit=autocommit)
        cnxn.setdecoding(pyodbc.SQL_CHAR, encoding="cp1251")
        cnxn.setencoding(encoding="cp1251")
        self.addCleanup(cnxn.close)
        return cnxn

    def test_isql(self):
        script = ("CREATE TABLE \"Goods.dbf\" (id integer, name char(20))\n"
                  "INSERT INTO goods VALUES (7, 'tea')\n"
                  "SELECT name FROM GOODS.DBF WHERE id = 7\n"
                  "SELECT nope FROM goods\n")
        result = subprocess.run(["isql", "-b", "-v", "-k", f"DRIVER={{{DRIVER}}};DefaultDir={self.dir}"],
                                input=script.encode(), capture_output=True, timeout=60)
        out = result.stdout.decode(errors="replace")
        self.assertIn("| tea", out)
        self.assertIn("[Vestibo][dBase Driver]Column not found: nope", out)
        self.assertTrue(os.path.exists(os.path.join(self.dir, "Goods.dbf")))
        # The same directory through a data source name.
        ini = os.path.join(self.dir, "odbc.ini")
        with open(ini, "w") as f:
            f.write(f"[office]\nDriver={DRIVER}\nDefaultDir={self.dir}\n")
        result = subprocess.run(["isql", "-b", "office"], input=b"SELECT id FROM goods\n", capture_output=True,
                                timeout=60, env=dict(os.environ, ODBCINI=ini))
        self.assertIn("| 7", result.stdout.decode(errors="replace"))

    def test_parameters_and_types(self):
        cur = self.connect().cursor()
        cur.execute("CREATE TABLE t (id integer, name char(6), price numeric(8,2), day date, ok logical)")
        cur.execute("INSERT INTO t VALUES (?, ?, ?, ?, ?)", 2147483647, "Чай", -12.5, datetime.date(2024, 2, 29), True)
        cur.execute("INSERT INTO t (id, name) VALUES (?, ?)", -1, "too long text")
        self.assertEqual(cur.messages[0][0][:7], "[01004]")
        cur.execute("SELECT id, name, price, day, ok FROM t WHERE id > ? ORDER BY id DESC", -5)
        rows = [tuple(r) for r in cur.fetchall()]
        self.assertEqual(rows[0][:3], (2147483647, "Чай", decimal.Decimal("-12.50")))
        self.assertEqual(rows[1], (-1, "too lo", None, None, None))
        raw = file_bytes(os.path.join(self.dir, "t.dbf"))
        self.assertIn("Чай".encode("cp1251"), raw)

    def test_refusals(self):
        cur = self.connect().cursor()
        cur.execute("CREATE TABLE t (id integer, amount numeric(5,2), day date)")
        cases = [
            ("CREATE TABLE t (x integer)", (), "42S01"),
            ("CREATE TABLE u (averylongname integer)", (), "42000"),
            ("SELECT * FROM missing", (), "42S02"),
            ("SELECT nope FROM t", (), "42S22"),
            ("INSERT INTO t (amount) VALUES (?)", (123456.0,), "22003"),
            ("INSERT INTO t (day) VALUES ('2023-02-30')", (), "22007"),
            ("SELECT * FROM t WHERE", (), "42000"),
        ]
        for sql, params, state in cases:
            with self.subTest(sql=sql):
                with self.assertRaises(pyodbc.Error) as caught:
                    cur.execute(sql, *params)
                self.assertIn(state, str(caught.exception))
        self.assertEqual(cur.execute("SELECT * FROM t").fetchall(), [])  # nothing half-written

    def test_rollback_and_commit(self):
        cnxn = self.connect(autocommit=False)
        cur = cnxn.cursor()
        cur.execute("CREATE TABLE t (id integer)")
        cnxn.commit()
        path = os.path.join(self.dir, "t.dbf")
        before = file_bytes(path)
        cur.execute("INSERT INTO t VALUES (1)")
        self.assertEqual(cur.execute("SELECT id FROM t").fetchall()[0][0], 1)  # its own writes
        cnxn.rollback()
        self.assertEqual(file_bytes(path), before)
        self.assertEqual(cur.execute("SELECT id FROM t").fetchall(), [])
        cur.execute("INSERT INTO t VALUES (2)")
        cur.execute("UPDATE t SET id = 3 WHERE id = 2")
        cnxn.commit()
        self.assertEqual([r["ID"] for r in read_table(path).records], [3])

    def test_catalog(self):
        cnxn = self.connect()
        cnxn.cursor().execute("CREATE TABLE \"Orders.dbf\" (id integer, note char(30), day date)")
        cur = cnxn.cursor()
        self.assertEqual([r.table_name for r in cur.tables()], ["Orders"])
        self.assertEqual([(c.column_name, c.type_name, c.column_size) for c in cur.columns(table="orders")],
                         [("ID", "INTEGER", 10), ("NOTE", "CHAR", 30), ("DAY", "DATE", 10)])
        self.assertIn("CHAR", [t.type_name for t in cur.getTypeInfo()])

    def test_hostile_headers(self):
        cnxn = self.connect()
        cnxn.cursor().execute("CREATE TABLE good (name char(10))")
        cnxn.cursor().execute("INSERT INTO good VALUES ('x')")
        data = file_bytes(os.path.join(self.dir, "good.dbf"))
        cases = {
            "short": data[:20],
            "lying_count": data[:4] + struct.pack("<I", 1000) + data[8:],
            "header_past_end": data[:8] + struct.pack("<H", 60000) + data[10:],
            "no_records": data[:-12],
        }
        for name, content in cases.items():
            with open(os.path.join(self.dir, name + ".dbf"), "wb") as f:
                f.write(content)
            with self.subTest(name=name), self.assertRaises(pyodbc.Error) as caught:
                self.connect().cursor().execute(f"SELECT * FROM {name}").fetchall()
            self.assertIn("cannot be used", str(caught.exception))


if __name__ == "__main__":
    unittest.main()
