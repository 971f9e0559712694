"""The mutation tool's mutants: comments and strings left alone, each operator on a known line."""
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools" / "mutation"))
import json  # noqa: E402

from mutants import file_mutants, mask_line  # noqa: E402
from mutate import tests_naming_files  # noqa: E402


def afters(text, operator):
    return [m.after.strip() for m in file_mutants("x.cpp", text) if m.operator == operator]


class MutantsTest(unittest.TestCase):
    def test_comments_and_strings_are_masked(self):
        masked, open_comment = mask_line('f("a < b", 1); // x < y /* z', False)
        self.assertEqual(masked, 'f("_____", 1);              ')
        self.assertFalse(open_comment)
        masked, open_comment = mask_line("a = 1; /* start", False)
        self.assertTrue(open_comment)
        self.assertEqual(mask_line("end */ b = 2;", True)[0], "       b = 2;")
        self.assertEqual(afters("// if (a < b) return 1;\n#define N 3\n", "relational"), [])

    def test_each_operator(self):
        self.assertEqual(afters("  if (a < b) x();", "relational"), ["if (a <= b) x();"])
        self.assertEqual(afters("y = a * b;", "arithmetic"), ["y = a / b;"])
        self.assertEqual(afters("y = a[7];", "constant"), ["y = a[8];", "y = a[6];"])
        self.assertEqual(afters("float v = 0.5f;", "float-double"),
                         ["double v = 0.5f;", "float v = 0.5;"])
        self.assertEqual(afters("  draw(a, b);", "removed-call"), [";"])
        self.assertEqual(afters("  int n = count(a, b);", "removed-call"), [])
        self.assertEqual(afters("while (i < n) ++i;", "negated-condition"),
                         ["while (!(i < n)) ++i;"])
        self.assertEqual(afters("line(x1, y1, f(x2));", "swapped-arguments"),
                         ["line(y1, x1, f(x2));", "line(x1, f(x2), y1);"])
        self.assertEqual(afters("std::vector<int> v;", "relational"), [])  # a template is no <

    def test_line_numbers_and_description(self):
        m = file_mutants("x.cpp", "int a;\nreturn b == c;\n")[0]
        self.assertEqual(m.line, 2)
        self.assertEqual(m.describe(), "x.cpp:2: return b == c; → return b != c;")


class CoveringScriptsTest(unittest.TestCase):
    def test_script_tests_naming_a_source_cover_it(self):
        listing = json.dumps({"tests": [
            {"name": "table_is_generated",
             "command": ["/usr/bin/cmake", "-DGENERATOR=/b/driver/gen", "-DCOMMITTED=/s/d/t.cpp",
                         "-DOUTPUT=/b/out.cpp", "-P", "/s/d/compare.cmake"]},
            {"name": "package_check", "command": ["/usr/bin/python3", "/s/d/../d/check.py", "x.inf"]},
            {"name": "unit_test", "command": ["/b/tests/unit_test", "/s/d/t.cpp"]},
            {"name": "disabled"}]})
        named = tests_naming_files(listing, "/b")
        self.assertEqual(named["/s/d/t.cpp"], {"table_is_generated"})
        self.assertEqual(named["/s/d/check.py"], {"package_check"})
        self.assertEqual(named["/s/d/compare.cmake"], {"table_is_generated"})
        self.assertNotIn("x.inf", named)  # relative names say nothing about a source


if __name__ == "__main__":
    unittest.main()
