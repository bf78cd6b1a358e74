#!/usr/bin/python3
"""The parts of scripts/check-deps that decide what a fresh machine would have."""
import glob
import importlib.machinery
import importlib.util
import os
import unittest

PATH = os.path.join(os.path.dirname(__file__), "..", "..", "scripts", "check-deps")
loader = importlib.machinery.SourceFileLoader("check_deps", PATH)
spec = importlib.util.spec_from_loader("check_deps", loader)
check_deps = importlib.util.module_from_spec(spec)
loader.exec_module(check_deps)


def package(depends="", provides=""):
    return {"base": False, "provides": [g[0] for g in check_deps.parse_relations(provides)],
            "depends": check_deps.parse_relations(depends)}


class Closure(unittest.TestCase):
    db = {
        "app-dev": package("liba1 (>= 2.1), mta | other-mta | late-mta, virtual-gl, libb:any"),
        "liba1": package(),
        "libb": package(),
        "other-mta": package(),       # the first alternative is not installed here
        "late-mta": package(),        # installed too, but later: not followed
        "gl-vendor": package(provides="virtual-gl (= 1)"),
        "recommended": package(),     # reached only by Recommends, which never count
        "unrelated": package("app-dev"),
    }

    def test_follows_versions_arch_qualifiers_and_the_first_installed_alternative(self):
        self.assertEqual(check_deps.closure(self.db, ["app-dev"]),
                         {"app-dev", "liba1", "libb", "other-mta", "gl-vendor"})

    def test_a_virtual_name_reaches_its_providers(self):
        self.assertEqual(check_deps.closure(self.db, ["virtual-gl"]), {"gl-vendor"})

    def test_a_package_not_installed_reaches_nothing(self):
        self.assertEqual(check_deps.closure(self.db, ["missing-dev"]), set())


class Files(unittest.TestCase):
    def test_depfile_continuations_and_escaped_spaces(self):
        text = "a.o: /src/a.cpp /usr/include/x\\ y.h \\\n /usr/include/c++/12/vector\n"
        self.assertEqual(check_deps.depfile_paths(text),
                         ["/src/a.cpp", "/usr/include/x y.h", "/usr/include/c++/12/vector"])

    def test_the_usr_spelling_of_a_merged_folder_finds_its_package(self):
        # dpkg records the C library under /lib; the linker names it under /usr/lib.
        libc = glob.glob("/usr/lib/*-linux-gnu*/libc.so.6")[0]
        held = check_deps.owners([libc, "/no/such/file"])
        self.assertIn("libc6", held[libc])
        self.assertEqual(held["/no/such/file"], set())

    def test_a_program_counts_for_every_package_its_links_pass_through(self):
        # /usr/bin/c++ is an alternatives link to the compiler build-essential brings.
        db = check_deps.read_installed()
        reads = {"/usr/bin/c++": "run by the build"}
        self.assertEqual(check_deps.judge(reads, db, ["build-essential"]), [])
        problems = check_deps.judge(reads, db, ["libc6"])
        self.assertTrue(problems and "/usr/bin/c++ (-> /usr/bin/" in problems[1], problems)


if __name__ == "__main__":
    unittest.main(verbosity=1)
