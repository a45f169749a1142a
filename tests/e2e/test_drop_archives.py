#!/usr/bin/env python3
"""Archives dropped on the extract button: a ZIP, an LZH and a CAB made here by zip,
jlha and gcab are extracted into a Desktop folder picked in the folder picker, the
success box names the folder, and the files equal what unzip, lha and cabextract give.
Also a path with spaces and Japanese, two files at once (only the first is used) and a
drop onto an earlier extraction: the overwrite question, answered No, Yes and Cancel."""
import filecmp
import os
import random
import shutil
import subprocess

from e2e import Session

SUCCESS = "解凍は正常に完了しました。\r\n以下のフォルダに解凍されています。\r\n"
QUESTION = "解凍先に同じ名前のファイルが %d 個あります。\r\n上書きしますか？"


def same_tree(a, b):
    c = filecmp.dircmp(a, b)
    differ = filecmp.cmpfiles(a, b, c.common_files, shallow=False)[1:]
    return not (c.left_only or c.right_only or c.common_funny or any(differ)) and \
        all(same_tree(os.path.join(a, d), os.path.join(b, d)) for d in c.common_dirs)


with Session() as s:
    for tool in ("zip", "unzip", "jlha", "lha", "gcab", "cabextract"):
        if not shutil.which(tool):
            s.skip(tool + " is not installed")
    F = os.path.join(s.T, "fx")
    tree, ref = os.path.join(F, "tree"), os.path.join(F, "ref")
    os.makedirs(os.path.join(tree, "data"))
    os.makedirs(os.path.join(F, "other"))
    with open(os.path.join(tree, "readme.txt"), "wb") as f:
        f.write(b"hello\r\nworld\r\n")
    with open(os.path.join(tree, "data", "blob.bin"), "wb") as f:
        f.write(random.randbytes(30000))
    with open(os.path.join(tree, "data", "numbers.txt"), "w") as f:
        f.writelines("%d\n" % i for i in range(1, 5001))
    with open(os.path.join(F, "other", "other.txt"), "w") as f:
        f.write("the other archive\n")
    files = ["readme.txt", "data/blob.bin", "data/numbers.txt"]
    os.makedirs(ref + "/lzh")
    for cmd, cwd in [(["zip", "-qr", F + "/a.zip", "readme.txt", "data"], tree),
                     (["jlha", "c", F + "/a.lzh"] + files, tree), (["gcab", "-c", "-z", F + "/a.cab"] + files, tree),
                     (["zip", "-q", F + "/other.zip", "other.txt"], F + "/other"),
                     (["unzip", "-q", F + "/a.zip", "-d", ref + "/zip"], F), (["lha", "xq", F + "/a.lzh"], ref + "/lzh"),
                     (["cabextract", "-q", "-d", ref + "/cab", F + "/a.cab"], F),
                     (["unzip", "-q", F + "/other.zip", "-d", ref + "/other"], F)]:
        s.must(" ".join(cmd[:2]) + " made its file", subprocess.run(cmd, cwd=cwd, capture_output=True).returncode == 0)
    spaced = os.path.join(s.T, "my files", "書庫 テスト.zip")
    os.makedirs(os.path.dirname(spaced))
    shutil.copy(F + "/a.zip", spaced)

    g = s.start(Top=1500, Left=1500, Act=0)
    s.churn()
    s.park()

    def drop_and_pick(what, folder, *paths):
        os.makedirs(s.desktop(folder), exist_ok=True)
        s.must("the drop of %s was taken" % what, g.drop(*g.button("b_thaw"), *paths))
        s.must("a folder picker after the drop of " + what, s.wait(s.picker, 15))
        s.must("%s picked for %s" % (folder, what), s.pick(folder))
        return s.must("a box after the drop of " + what, s.wait(s.box, 60))

    def success(what, box, folder):
        s.expect("success box text for " + what, SUCCESS + s.desktop_win(folder), s.box_text(box))
        s.expect("success box icon for " + what, "information", s.box_icon(box))
        s.must("the result box for %s closed" % what, s.answer(box, 1))

    for what, folder, path, want in [("the zip archive", "zipout", F + "/a.zip", "zip"),
                                     ("the lzh archive", "lzhout", F + "/a.lzh", "lzh"),
                                     ("the cab archive", "cabout", F + "/a.cab", "cab"),
                                     ("the archive with spaces and Japanese in its path", "spcout", spaced, "zip")]:
        success(what, drop_and_pick(what, folder, path), folder)
        s.check("the files of %s equal the reference extraction" % what, same_tree(ref + "/" + want, s.desktop(folder)))
        g.resumed("the drop of " + what)

    success("two archives", drop_and_pick("two archives", "multiout", F + "/other.zip", F + "/a.zip"), "multiout")
    s.check("only the first of two dropped archives is extracted", same_tree(ref + "/other", s.desktop("multiout")))
    g.resumed("the two-file drop")

    # Onto an earlier extraction whose readme.txt was changed: No keeps it and still
    # extracts the missing file, Yes replaces all, Cancel leaves it (and ends in
    # whatever box, as the other archivers cannot read a ZIP file either).
    readme = s.desktop("zipout/readme.txt")
    os.remove(s.desktop("zipout/data/numbers.txt"))
    for answer, name, existing in [(7, "No", 2), (6, "Yes", 3), (2, "Cancel", 3)]:
        with open(readme, "w") as f:
            f.write("changed\n")
        box = drop_and_pick("a.zip onto zipout", "zipout", F + "/a.zip")
        s.expect("overwrite question text", QUESTION % existing, s.box_text(box))
        s.expect("overwrite question buttons", [2, 6, 7], [b[0] for b in s.box_buttons(box)])
        s.must("the overwrite question closed", s.answer(box, answer))
        box = s.must("a box after the overwrite answered " + name, s.wait(s.box, 60))
        if name == "Cancel":
            s.log("box after Cancel: %r" % s.box_text(box))
            s.must("the box after Cancel closed", s.answer(box, 1))
        else:
            success("the overwrite answered " + name, box, "zipout")
        if name != "Yes":
            with open(readme) as f:
                s.expect(name + " leaves the changed readme.txt", "changed\n", f.read())
        if name == "No":
            s.check("No still extracts the missing file", filecmp.cmp(ref + "/zip/data/numbers.txt",
                                                                     s.desktop("zipout/data/numbers.txt"), False))
        if name == "Yes":
            s.check("Yes replaces the existing files", same_tree(ref + "/zip", s.desktop("zipout")))
        g.resumed("the overwrite answered " + name)
    g.close(30)
