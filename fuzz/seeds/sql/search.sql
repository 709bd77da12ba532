Select 
 pay.[Entry Number],
 pay.[Amount],
 Sum([Payment Amount]) PayTotal
From ZTTRN pay, ZTPAX, ZTTRN chg
Where
 pay.[Entry Number] = ZTPAX.[Payment Reference]
 and chg.[Entry Number] = ZTPAX.[Charge Reference]
 and Position(pay.[Transaction Type] in 'IJKLMNOSTUV') > 0
Group By pay.[Entry Number], pay.[Amount]
