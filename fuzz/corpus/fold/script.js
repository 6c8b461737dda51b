// lead
function f(a) { /* c */ return a + 1; }
class K { m() { try { g(); } catch (e) { throw e; } } }
const t = `x  

 y`;
