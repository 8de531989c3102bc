"""Each manifest source (path, execution level) is well-formed XML with that
execution level, without uiAccess, with the five supportedOS Ids from Vista
to 10/11, and with neither a dpiAware setting nor a Common Controls 6
dependency."""
import sys
import xml.dom.minidom

SUPPORTED_OS = {
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}",  # Vista
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  # 7
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  # 8
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  # 8.1
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  # 10 and 11
}

failures = []
for path, level in zip(sys.argv[1::2], sys.argv[2::2]):
    doc = xml.dom.minidom.parse(path)  # raises on a malformed file
    levels = [(e.getAttribute("level"), e.getAttribute("uiAccess"))
              for e in doc.getElementsByTagName("requestedExecutionLevel")]
    ids = {e.getAttribute("Id") for e in doc.getElementsByTagName("supportedOS")}
    checks = {
        "execution level": levels == [(level, "false")],
        "supportedOS": ids == SUPPORTED_OS,
        "no dpiAware": not doc.getElementsByTagName("dpiAware") and not doc.getElementsByTagName("dpiAwareness"),
        "no dependency": not doc.getElementsByTagName("dependency"),
    }
    failures += [f"{path}: {name}" for name, ok in checks.items() if not ok]
print("\n".join(failures) or "manifests fine")
sys.exit(1 if failures else 0)
