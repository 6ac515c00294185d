// Where the login page may send the user on to: a page of this station only,
// so that a crafted link cannot lead to another site after logging in. The
// browser's own URL parser decides, as it will when following the link (it
// drops tabs and line breaks, takes a backslash for a slash ...), and the
// result must have this page's origin.
export function safeNext(next, origin) {
  if (typeof next !== 'string' || !next.startsWith('/')) return '/';
  let target;
  try {
    target = new URL(next, origin);
  } catch (notAUrl) {
    return '/';
  }
  if (target.origin !== new URL(origin).origin) return '/';
  return target.pathname + target.search + target.hash;
}
