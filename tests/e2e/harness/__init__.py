"""The harness that drives the real Setup.exe under Wine: the Wine build of this host,
prefixes, X displays with their pictures, and the window driver. The end-to-end
suite and `make demo` share it."""
