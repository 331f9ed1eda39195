"""The medium: made again byte for byte, signed by make-dist, and names beyond ASCII
from the archive to the installed tree."""

import hashlib
import re
import shutil
import subprocess
import sys

from harness.wine import ROOT
from steps import (confirm_close, content, failure_box, final_message, install, same_file,
                   same_tree, succeeds, write)


def sums_listed(folder):
    """SHA256SUMS in `folder` holds the hashes of the medium's two files, as sha256sum
    writes them."""
    lines = [f"{hashlib.sha256(content(folder / name) or b'').hexdigest()}  {name}"
             for name in ("Setup.exe", "QVRKDV2.QVP")]
    return content(folder / "SHA256SUMS") == "".join(f"{line}\n" for line in lines).encode()


def without_signature(signed, unsigned, work):
    """osslsigncode takes the signature off `signed`, and the bytes of `unsigned` remain."""
    stripped = work / f"{signed.name}.stripped"
    return succeeds("osslsigncode", "remove-signature", "-in", signed, "-out", stripped) and \
        same_file(stripped, unsigned)


def test_medium(wine, medium, checks, tmp_path):
    """The medium itself, without Wine: the generated tree and its archive come out the
    same byte for byte when made again, and the native qvrpack unpacks the archive into
    the same tree."""
    c, archive = checks, medium / "QVRKDV2.QVP"
    c.check(succeeds(wine.qvrpack, "pack", "-q", f"{wine.tree}/", tmp_path / "again.qvp"),
            "archive packs reproducibly")
    c.check(same_file(tmp_path / "again.qvp", archive), "same bytes as the medium's archive")
    (tmp_path / "unpacked").mkdir()
    c.check(succeeds(wine.qvrpack, "unpack", "-q", archive, tmp_path / "unpacked"), "native unpack")
    c.check(same_tree(wine.tree, tmp_path / "unpacked" / wine.tree.name),
            "unpacked tree equals the reference tree")
    c.check(succeeds(sys.executable, ROOT / "demo/make_tree.py", "--out", tmp_path / "tree", "--exe",
                     wine.tree / "Intern/Programm/QVR-Kelvador.exe"),
            "the product tree generates the same bytes again")
    c.check(same_tree(wine.tree, tmp_path / "tree" / wine.tree.name),
            "regenerated tree equals the reference tree")
    c.check((wine.tree / "Daten/Programm/Vorlagen/Spielbericht.dat").stat().st_size > 524288,
            "a member above one chunk of 524,288 bytes")
    c.check(sums_listed(medium), "SHA256SUMS holds the hashes of Setup.exe and QVRKDV2.QVP")


def signature_verifies(program, certificate):
    done = subprocess.run(["osslsigncode", "verify", "-CAfile", str(certificate), "-in", str(program)],
                          capture_output=True, text=True, check=False)
    return "Signature verification: ok" in (done.stdout + done.stderr).splitlines()


def sign_medium(s):
    """The medium made again by make-dist.sh with a throwaway self-signed certificate, put
    in place of the scenario's medium. Both programs carry a signature that verifies
    against that certificate."""
    work, password = s.work / "signing", "only-for-this-test"
    key, cert = work / "key.pem", work / "cert.pem"
    (work / "unpacked").mkdir(parents=True)
    s.require(succeeds("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                       "-subj", "/CN=QVR Software Test", "-keyout", key, "-out", cert, log=s.log)
              and succeeds("openssl", "pkcs12", "-export", "-inkey", key, "-in", cert, "-out",
                           work / "cert.p12", "-passout", f"pass:{password}", log=s.log),
              "no throwaway certificate")
    env = dict(s.wine.env, QVR_SIGN_PKCS12=str(work / "cert.p12"), QVR_SIGN_PASSWORD=password,
               QVR_DIST_DIR=str(work / "dist"), QVR_DIST_TREE_DIR=str(work / "tree"))
    s.require(succeeds(ROOT / "scripts/make-dist.sh", env=env, cwd=ROOT, log=s.log),
              "make-dist.sh did not sign the medium")
    s.check(signature_verifies(work / "dist/Setup.exe", cert), "signed Setup.exe verifies")
    succeeds(s.wine.qvrpack, "unpack", "-q", work / "dist/QVRKDV2.QVP", work / "unpacked", log=s.log)
    program = work / "unpacked" / s.product.name / "Intern/Programm/QVR-Kelvador.exe"
    s.check(signature_verifies(program, cert), "the archive's product program is signed and verifies")
    s.check(sums_listed(work / "dist"), "SHA256SUMS holds the hashes of the signed files")
    s.check(without_signature(work / "dist/Setup.exe", s.medium / "Setup.exe", work),
            "signed Setup.exe without its signature is the unsigned build")
    s.check(without_signature(program, s.wine.tree / "Intern/Programm/QVR-Kelvador.exe", work),
            "signed product program without its signature is the unsigned build")
    shutil.copytree(work / "dist", s.medium, dirs_exist_ok=True)


def test_welcome_close(scenario):
    """The medium signed; the close confirmation in the welcome state answered "&Ja": the
    signed setup runs, ends, and nothing is installed."""
    s = scenario
    sign_medium(s)
    s.launch()
    confirm_close(s, "&Ja")
    s.check(not s.install_root.exists(), "no installation root")
    s.check(not s.link.exists(), "no shortcut")


def test_umlauts(scenario):
    """Names beyond ASCII, on a small product tree: the archive holds them as code page
    1252 bytes, qvrpack.exe under Wine packs the same records, and a setup renamed
    "Installation für Kunden.exe" in the folder "Übergabe" shows its name in the failure
    box's caption and installs the names as they were packed."""
    s = scenario
    tree = s.work / "umlaut-tree" / s.product.name
    handover = s.medium / "Übergabe"
    setup, archive = handover / "Installation für Kunden.exe", handover / "QVRKDV2.QVP"
    font = tree / "Daten/Programm/Fonts/Schrift Ä.ttf"
    write(tree / "Übersicht.txt", "Inhalt\n")
    write(tree / "Grüße/Brief.txt", "Hallo\n")
    font.parent.mkdir(parents=True)
    handover.mkdir()
    shutil.copyfile(s.wine.tree / "Daten/Programm/Fonts/DejaVuSans-Bold.ttf", font)
    shutil.copyfile(s.medium / "Setup.exe", setup)

    s.launch(setup, debug="-all")
    install(s)
    failure_box(s, 5, caption="Installation für Kunden", shot="02-failure-caption.png")

    qvrpack = s.wine.qvrpack
    s.check(succeeds(qvrpack, "pack", "-q", tree, archive), "native pack of the names")
    packed = content(archive) or b""
    s.check(b"0D01\xdcbersicht.txt" in packed, '"Übersicht.txt" stored as DC 62 65 72 ...')
    s.check(b"8501Gr\xfc\xdfe" in packed, '"Grüße" stored as 47 72 FC DF 65')
    shutil.copytree(tree, s.drive_c / "Baum" / tree.name, symlinks=True)
    s.run([s.wine.qvrpack_exe, "pack", "-q", f"C:\\Baum\\{tree.name}", "C:\\wine.qvp"])

    def listing(path):
        out = subprocess.run([str(qvrpack), "list", str(path)], capture_output=True, text=True,
                             check=False).stdout
        return sorted(out.splitlines())

    s.check(listing(archive) == listing(s.drive_c / "wine.qvp"),
            "qvrpack.exe under Wine packs the same records")
    s.check(re.search(r"Grüße.Brief\.txt", s.run([s.wine.qvrpack_exe, "list", "C:\\wine.qvp"])[0]),
            "qvrpack.exe lists the names in UTF-8")
    s.check("C:\\Übergabe\\fehlt.qvp" in s.run([s.wine.qvrpack_exe, "list", "C:\\Übergabe\\fehlt.qvp"])[0],
            "qvrpack.exe names a path with umlauts intact")

    s.launch(setup)
    install(s)
    final_message(s, "&Nein")
    s.check(same_file(tree / "Übersicht.txt", s.product / "Übersicht.txt"),
            '"Übersicht.txt" installed under its name')
    s.check((s.product / "Grüße/Brief.txt").is_file(), 'folder "Grüße" installed under its name')
    s.check(same_tree(tree, s.product), "installed tree equals the packed tree")
    s.check(same_file(font, s.fonts / font.name), 'font "Schrift Ä.ttf" in the font folder under its name')
